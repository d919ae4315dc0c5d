#!/usr/bin/env bash
# Runs the strict receiver, dtmf-decode (the window's detector), multimon-ng
# and SpanDSP's dtmf_rx side by side on the receiver's requirement cases, on
# long noise, on a talk-off corpus of speech and music, on digits mixed with
# speech, and on a corpus of digits through the telephone channel (codecs,
# packet loss, line faults, echo, call-progress tones, music on hold, speech;
# see channel-corpus.py), and prints markdown tables of what each one found.
#
# Usage: bench/receiver-vs-peers.sh [build dir]
#   MINUTES_SPEECH (default 40), MINUTES_NOISE (default 10), SYNTH_BARS
#   (default 600), DIGITS_OVER_SPEECH (default 600) and DIGITS_OVER_RECORDED
#   (default 3000) set the corpus sizes;
#   MUSIC_DIR (default /usr/share/games/singularity/music, from the Debian
#   package singularity-music) adds recorded music when it is there;
#   PROMPTS_DIR (default /usr/share/asterisk/sounds/en, from the Debian package
#   asterisk-core-sounds-en-wav) adds recorded speech, a voice's prompts with
#   the pauses between them, for talk-off and under digits; OTHER_PROMPTS
#   (default the Spanish, French, Italian and Russian voices of
#   asterisk-core-sounds-{es,fr,it,ru}-wav, those that are there) adds prompts
#   in other languages, DIGITS_OVER_OTHER (default 1500) digits under each; KEEP_DIR
#   keeps the generated audio in that folder. CHANNEL_DIGITS (default 96) and
#   CHANNEL_SEEDS (default "1", several for more signals) size the channel
#   corpus, and CHANNEL_LEVELS (default "-18,-8") sets its range of levels
#   of the low tone, dBFS; ONLY_CHANNEL=1 runs the channel table alone.
# Needs: sox, espeak-ng, multimon-ng, libspandsp-dev, a C compiler, python3
# with numpy, ffmpeg, lame, opus-tools, asterisk-moh-opsound-wav (and, for the
# recorded speech, asterisk-core-sounds-en-wav).
set -euo pipefail

build=${1:-${BUILD_DIR:-build}}
probe=$build/bench/strict_probe
cases=$build/bench/receiver_cases
decoder=$build/cli/dtmf-decode
minutes_speech=${MINUTES_SPEECH:-40}
minutes_noise=${MINUTES_NOISE:-10}
synth_bars=${SYNTH_BARS:-600}
digits_over_speech=${DIGITS_OVER_SPEECH:-600}
digits_over_recorded=${DIGITS_OVER_RECORDED:-3000}
digits_over_other=${DIGITS_OVER_OTHER:-1500}
music_dir=${MUSIC_DIR:-/usr/share/games/singularity/music}
prompts_dir=${PROMPTS_DIR:-/usr/share/asterisk/sounds/en}
sounds=/usr/share/asterisk/sounds
read -r -a other_prompts <<<"${OTHER_PROMPTS:-$sounds/es_MX_f_Allison $sounds/fr_CA_f_June $sounds/it_IT_m_Carlo $sounds/ru_RU_f_IvrvoiceRU}"
here=$(cd "$(dirname "$0")" && pwd)

for tool in "$probe" "$cases" "$decoder" sox soxi espeak-ng multimon-ng cc pkg-config python3 ffmpeg \
    lame opusenc opusdec; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
pkg-config --exists spandsp || { echo "missing: libspandsp-dev" >&2; exit 1; }

export SOX_OPTS=-V1 # no warnings about the clipped case
if [ -n "${KEEP_DIR:-}" ]; then
    work=$KEEP_DIR # the generated audio stays there
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
# shellcheck disable=SC2046 # pkg-config gives separate words
cc -O2 -o "$work/spandsp_dtmf" "$here/spandsp_dtmf.c" $(pkg-config --cflags --libs spandsp)

# Each decoder takes a 48 kHz mono 16-bit WAV and prints the symbols it
# found, one a line. The peers hear copies made with sox -D (no dither) -G
# (the gain lowered where the resampler's overshoot would clip a line that
# is already at full scale, which adds clicks of its own).
run_strict() { "$probe" "$1" | cut -f1; }
run_window() { "$decoder" --detector=window "$1" | grep -o '[0-9A-D*#]' || true; }
run_multimon() {
    sox -D -G "$1" -t raw -r 22050 -e signed -b 16 -c 1 "$work/mm.raw"
    multimon-ng -q -t raw -a DTMF "$work/mm.raw" 2>/dev/null | sed -n 's/^DTMF: \(.\).*/\1/p'
}
run_spandsp() { sox -D -G "$1" -t raw -r 8000 -e signed -b 16 -c 1 - | "$work/spandsp_dtmf"; }
decoders=(strict window multimon spandsp)

# Correct symbols (in order) and extras of Found against Expected.
score() { "$cases" score "$1" "$2"; }

# Symbols each decoder finds in a list of files, added up.
count_false() {
    local d n total
    for d in "${decoders[@]}"; do
        total=0
        for f in "$@"; do
            n=$("run_$d" "$f" | wc -l)
            total=$((total + n))
        done
        printf '%s ' "$total"
    done
    echo
}

seconds_of() {
    local s=0 f
    for f in "$@"; do s=$(awk -v a="$s" -v b="$(soxi -D "$f")" 'BEGIN { print a + b }'); done
    echo "$s"
}

per_hour() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%d (%.1f/h)", n, n * 3600 / s }'; }

# The channel corpus: each condition keyed with its own digits at 8 kHz, every
# decoder given the same file (the peers through sox -D as above); the last
# rows add up the conditions and the time each decoder took.
channel_table() {
    local seed name text expected found correct extra d start end
    declare -A found_total extra_total seconds
    local sent_total=0
    for d in "${decoders[@]}"; do
        found_total[$d]=0
        extra_total[$d]=0
        seconds[$d]=0
    done
    echo
    echo "| Channel condition (${CHANNEL_DIGITS:-96} digits each) | Strict receiver | Window's detector | multimon-ng | SpanDSP |"
    echo "|---|---|---|---|---|"
    read -r -a seeds <<<"${CHANNEL_SEEDS:-1}"
    for seed in "${seeds[@]}"; do
        /usr/bin/python3 "$here/channel-corpus.py" "$work/channel" \
            --digits "${CHANNEL_DIGITS:-96}" --seed "$seed" --levels="${CHANNEL_LEVELS:--18,-8}"
        while IFS=$'\t' read -r name text; do
            expected=$(cat "$work/channel/$name.txt")
            sent_total=$((sent_total + ${#expected}))
            line="| $text"
            [ ${#seeds[@]} -gt 1 ] && line="$line (seed $seed)"
            for d in "${decoders[@]}"; do
                start=$(date +%s.%N)
                found=$("run_channel_$d" "$work/channel/$name.wav" | tr -d '\n')
                end=$(date +%s.%N)
                seconds[$d]=$(awk -v a="${seconds[$d]}" -v s="$start" -v e="$end" 'BEGIN { print a + e - s }')
                read -r correct extra < <(score "$expected" "$found")
                found_total[$d]=$((found_total[$d] + correct))
                extra_total[$d]=$((extra_total[$d] + extra))
                cell="$correct/${#expected}"
                [ "$extra" != 0 ] && cell="$cell +$extra"
                line="$line | $cell"
            done
            echo "$line |"
        done <"$work/channel/conditions.tsv"
    done
    line="| all conditions"
    for d in "${decoders[@]}"; do line="$line | ${found_total[$d]}/$sent_total +${extra_total[$d]}"; done
    echo "$line |"
    line="| time over the corpus, s (wall clock, the peers' through sox)"
    for d in "${decoders[@]}"; do line="$line | $(printf '%.2f' "${seconds[$d]}")"; done
    echo "$line |"
}
run_channel_strict() { "$decoder" "$1" | grep -o '[0-9A-D*#]' || true; }
run_channel_window() { run_window "$1"; }
run_channel_multimon() { run_multimon "$1"; }
run_channel_spandsp() { run_spandsp "$1"; }

if [ -n "${ONLY_CHANNEL:-}" ]; then
    channel_table
    exit 0
fi

echo "| Case | Must give | Strict receiver | Window's detector | multimon-ng | SpanDSP |"
echo "|---|---|---|---|---|---|"

# The requirement cases: 16 symbols each.
while IFS=$'\t' read -r index expected min_correct max_extra name; do
    "$cases" case "$index" "$work/case.wav"
    [ "$expected" = "-" ] && expected=""
    if [ -n "$expected" ]; then
        must="$min_correct/16"
        [ "$max_extra" = 0 ] && must="$must, nothing extra"
    else
        must="0"
    fi
    line="| $name | $must"
    for d in "${decoders[@]}"; do
        found=$("run_$d" "$work/case.wav" | tr -d '\n')
        if [ -n "$expected" ]; then
            read -r correct extra < <(score "$expected" "$found")
            cell="$correct/16"
            [ "$extra" != 0 ] && cell="$cell +$extra"
        else
            cell=${#found}
        fi
        line="$line | $cell"
    done
    echo "$line |"
done < <("$cases" list)

# Long noise at -20 dBFS RMS.
for colour in white pink; do
    "$cases" noise "$colour" $((minutes_noise * 60)) "$work/noise.wav"
    read -r -a counts < <(count_false "$work/noise.wav")
    echo "| $minutes_noise min of $colour noise at -20 dBFS | 0 | ${counts[0]} | ${counts[1]} | ${counts[2]} | ${counts[3]} |"
done

# Speech: many voices and languages, at several speeds and pitches.
mkdir -p "$work/speech"
texts=(
"en|The north wind and the sun were disputing which was the stronger, when a traveller came along wrapped in a warm cloak. They agreed that the one who first succeeded in making the traveller take his cloak off should be considered stronger than the other. Then the north wind blew as hard as he could, but the more he blew the more closely did the traveller fold his cloak around him; and at last the north wind gave up the attempt. Then the sun shined out warmly, and immediately the traveller took off his cloak. And so the north wind was obliged to confess that the sun was the stronger of the two. Please call me back on extension four two seven, or press nine for the operator."
"de|Einst stritten sich Nordwind und Sonne, wer von ihnen beiden wohl der Stärkere wäre, als ein Wanderer, der in einen warmen Mantel gehüllt war, des Weges daherkam. Sie wurden einig, dass derjenige für den Stärkeren gelten sollte, der den Wanderer zwingen würde, seinen Mantel abzunehmen. Der Nordwind blies mit aller Macht, aber je mehr er blies, desto fester hüllte sich der Wanderer in seinen Mantel ein."
"fr|La bise et le soleil se disputaient, chacun assurant qu'il était le plus fort, quand ils ont vu un voyageur qui s'avançait, enveloppé dans son manteau. Ils sont tombés d'accord que celui qui arriverait le premier à le lui faire ôter serait regardé comme le plus fort. Alors la bise s'est mise à souffler de toute sa force mais plus elle soufflait, plus le voyageur serrait son manteau autour de lui."
"es|El viento norte y el sol porfiaban sobre cuál de ellos era el más fuerte, cuando acertó a pasar un viajero envuelto en ancha capa. Convinieron en que quien antes lograra obligar al viajero a quitarse la capa sería considerado más poderoso. El viento norte sopló con gran furia, pero cuanto más soplaba, más se arrebujaba en su capa el viajero."
"it|Si bisticciavano un giorno il vento di tramontana e il sole, l'uno pretendendo d'esser più forte dell'altro, quando videro un viaggiatore che veniva innanzi avvolto nel mantello. I due litiganti convennero allora che sarebbe ritenuto più forte chi fosse riuscito a far sì che il viaggiatore si togliesse il mantello di dosso."
"pt|O vento norte e o sol discutiam qual dos dois era o mais forte, quando sucedeu passar um viajante envolto numa capa. Ao vê-lo, põem-se de acordo em como aquele que primeiro conseguisse obrigar o viajante a tirar a capa seria considerado o mais forte."
"nl|De noordenwind en de zon hadden een discussie over de vraag wie de sterkste was van hun beiden. Juist op dat moment kwam er een reiziger aan, die gehuld was in een warme jas. Ze kwamen overeen dat degene die het eerst erin zou slagen de reiziger zijn jas te doen uittrekken de sterkste zou worden geacht."
"pl|Północny wiatr i słońce sprzeczali się o to, które z nich jest silniejsze, gdy zobaczyli podróżnego, który szedł owinięty w ciepły płaszcz. Uzgodnili, że silniejszym będzie uznany ten, kto pierwszy sprawi, że podróżny zdejmie płaszcz."
"ru|Северный ветер и солнце спорили, кто из них сильнее, когда мимо проходил путник, закутанный в тёплый плащ. Они договорились, что сильнейшим будет признан тот, кто первым заставит путника снять плащ."
"cs|Severák a slunce se přeli o to, kdo z nich je silnější. V tom spatřili pocestného, který kráčel zahalen v plášti. Shodli se, že ten, komu se podaří jako prvnímu přimět pocestného, aby ze sebe sňal plášť, bude považován za silnějšího."
"fi|Pohjantuuli ja aurinko väittelivät kummalla oli enemmän voimaa, kun he samalla näkivät kulkijan, jolla oli yllään lämmin takki. He sopivat, että se, joka ensimmäisenä saisi kulkijan ottamaan takin pois päältään, olisi voimakkaampi."
"sv|Nordanvinden och solen tvistade en gång om vem av dom som var starkast. Just då kom en vandrare vägen fram, insvept i en varm kappa. Dom kom då överens om att den som först kunde få vandraren att ta av sig kappan, han skulle anses vara starkare än den andra."
"hu|Az északi szél és a nap vitatkoztak, hogy melyikük az erősebb, amikor arra jött egy vándor, meleg köpenybe burkolózva. Megegyeztek, hogy azt tekintik erősebbnek, aki előbb rá tudja venni a vándort, hogy levegye a köpenyét."
"tr|Poyraz ile güneş, hangisinin daha güçlü olduğu konusunda tartışıyorlardı. Tam o sırada kalın bir pelerine sarınmış bir yolcu geçiyordu. Yolcunun pelerinini ilk önce çıkartmayı başaranın daha güçlü sayılmasında anlaştılar."
"cmn|北风跟太阳在那儿争论谁的本事大。争来争去就是分不出高低来。这时候路上来了个走道儿的，他身上穿着件厚大衣。他们俩就商量好了，说谁能先叫这个走道儿的脱下他的厚大衣，就算谁的本事大。"
"ja|北風と太陽が、どちらが強いかで言い争っていました。そこへ、暖かいマントを着た旅人がやって来ました。旅人のマントを先に脱がせた方が強いということに決めました。"
"hi|उत्तरी हवा और सूरज में इस बात पर बहस हो रही थी कि दोनों में से ज़्यादा ताक़तवर कौन है, तभी एक मुसाफ़िर गर्म चोगा ओढ़े हुए वहाँ से गुज़रा।"
"el|Ο βοριάς κι ο ήλιος μάλωναν για το ποιος απ' τους δυο είναι ο δυνατότερος, όταν έτυχε να περάσει από μπροστά τους ένας ταξιδιώτης που φορούσε κάπα."
)
variants=(m1 f1 m3 f2 m7 f4 m2 f3 croak f5)
piece=0
speech_files=()
target=$((minutes_speech * 60))
total=0
while [ "$total" -lt "$target" ]; do
    entry=${texts[piece % ${#texts[@]}]}
    voice=${entry%%|*}
    text=${entry#*|}
    variant=${variants[piece % ${#variants[@]}]}
    speed=$((130 + (piece * 17) % 70))
    pitch=$((20 + (piece * 29) % 70))
    out="$work/speech/$piece.wav"
    # Twice the text, so each piece runs for about a minute.
    espeak-ng -v "$voice+$variant" -s "$speed" -p "$pitch" -w "$work/raw.wav" "$text $text" 2>/dev/null
    sox -D "$work/raw.wav" -r 48000 -c 1 -b 16 "$out" norm -3
    speech_files+=("$out")
    total=$(awk -v a="$total" -v b="$(soxi -D "$out")" 'BEGIN { printf "%d", a + b }')
    piece=$((piece + 1))
done
speech_seconds=$(seconds_of "${speech_files[@]}")
read -r -a counts < <(count_false "${speech_files[@]}")
cells=""
for c in "${counts[@]}"; do cells="$cells | $(per_hour "$c" "$speech_seconds")"; done
printf '| Speech, espeak-ng, %d pieces in %d languages, %.0f min | at most 1/h, goal 0%s |\n' \
    "$piece" "${#texts[@]}" "$(awk -v s="$speech_seconds" 'BEGIN { print s / 60 }')" "$cells"

# Recorded speech, when the packages are there: a telephone system's prompts
# in one voice, one after the other in the order of their names, joined into
# OUT with their count and length in prompts_count and prompts_seconds.
prompts_row() {
    local dir=$1 out=$2 files=() c cells=""
    prompts_count=0
    [ -d "$dir" ] && mapfile -t files < <(find -L "$dir" -maxdepth 1 -name '*.wav' | sort)
    [ ${#files[@]} -gt 0 ] || return 0
    prompts_count=${#files[@]}
    sox -D "${files[@]}" -r 48000 -c 1 -b 16 "$out"
    prompts_seconds=$(soxi -D "$out")
    read -r -a counts < <(count_false "$out")
    for c in "${counts[@]}"; do cells="$cells | $(per_hour "$c" "$prompts_seconds")"; done
    printf '| Speech, recorded, %d prompts (%s), %.0f min | at most 1/h, goal 0%s |\n' \
        "$prompts_count" "$dir" "$(awk -v s="$prompts_seconds" 'BEGIN { print s / 60 }')" "$cells"
}
prompts_row "$prompts_dir" "$work/prompts.wav"
english_prompts=$prompts_count
english_seconds=${prompts_seconds:-0}
# Other languages' prompts, which the receiver was not tuned on.
other_wavs=()
for dir in "${other_prompts[@]}"; do
    prompts_row "$dir" "$work/prompts-${#other_wavs[@]}.wav"
    [ "$prompts_count" -eq 0 ] || other_wavs+=("$work/prompts-${#other_wavs[@]}.wav:$dir")
done

# Music: recorded, when the package is there, and synthesised chords of
# plucked, square and sawtooth notes (pure sines would be real DTMF at times).
music_files=()
if [ -d "$music_dir" ]; then
    i=0
    for f in "$music_dir"/*.ogg; do
        sox -D "$f" -r 48000 -c 1 -b 16 "$work/music$i.wav" 2>/dev/null && music_files+=("$work/music$i.wav")
        i=$((i + 1))
    done
fi
if [ ${#music_files[@]} -gt 0 ]; then
    music_seconds=$(seconds_of "${music_files[@]}")
    read -r -a counts < <(count_false "${music_files[@]}")
    cells=""
    for c in "${counts[@]}"; do cells="$cells | $(per_hour "$c" "$music_seconds")"; done
    printf '| Music, %d recorded tracks (%s), %.0f min | at most 1/h, goal 0%s |\n' \
        "${#music_files[@]}" "$music_dir" "$(awk -v s="$music_seconds" 'BEGIN { print s / 60 }')" "$cells"
fi
timbres=(pluck square sawtooth pluck trapezium)
bars=()
for ((b = 0; b < synth_bars; b++)); do
    t=${timbres[b % ${#timbres[@]}]}
    n1=$(((b * 7) % 36 - 21)); n2=$((n1 + 3 + b % 2)); n3=$((n1 + 7)); n4=$(((b * 5) % 24 - 5))
    sox -n -r 48000 -c 4 -t sox - synth 0.4 "$t" "%$n1" "$t" "%$n2" "$t" "%$n3" "$t" "%$n4" |
        sox -t sox - -b 16 "$work/bar$b.wav" remix 1-4 gain -n -6
    bars+=("$work/bar$b.wav")
done
sox "${bars[@]}" "$work/synth.wav"
rm -f "${bars[@]}"
synth_seconds=$(soxi -D "$work/synth.wav")
read -r -a counts < <(count_false "$work/synth.wav")
cells=""
for c in "${counts[@]}"; do cells="$cells | $(per_hour "$c" "$synth_seconds")"; done
printf '| Music, synthesised chords and melody, %.0f min | at most 1/h, goal 0%s |\n' \
    "$(awk -v s="$synth_seconds" 'BEGIN { print s / 60 }')" "$cells"

# Digits over speech: -20 dBFS per tone, 100 ms on and 100 ms off, the speech
# measured over its whole length: at the power of the pair while it sounds (0
# dB under it), at the digits' mean power over tones and gaps (3 dB under
# it), and 16 dB under it.
# digits_over COUNT SPEECH_WAV WHAT UNDER...: a row for COUNT digits over
# the start of SPEECH_WAV at each UNDER.
digits_over() {
    local count=$1 speech=$2 what=$3 expected speech_db under gain line d found correct extra
    shift 3
    expected=$("$cases" digits "$count" -20 "$work/digits.wav")
    sox "$speech" "$work/under.wav" trim 0 "$(awk -v n="$count" 'BEGIN { print n * 0.2 }')"
    speech_db=$(sox "$work/under.wav" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }')
    for under in "$@"; do
        gain=$(awk -v s="$speech_db" -v u="$under" 'BEGIN { print -20 - u - s }')
        sox -m -v 1 "$work/digits.wav" -v 1 "|sox $work/under.wav -p gain $gain" "$work/mixed.wav"
        line="| $count digits over $what at $under dB under the pair | at least 99 %, at most 0.5 % extra"
        for d in "${decoders[@]}"; do
            found=$("run_$d" "$work/mixed.wav" | tr -d '\n')
            read -r correct extra < <(score "$expected" "$found")
            line="$line | $(awk -v c="$correct" -v e="$extra" -v n="$count" \
                'BEGIN { printf "%.1f %%, +%d (%.1f %%)", 100 * c / n, e, 100 * e / n }')"
        done
        echo "$line |"
    done
}
sox "${speech_files[@]}" "$work/allspeech.wav" trim 0 "$(awk -v n="$digits_over_speech" 'BEGIN { print n * 0.2 }')"
digits_over "$digits_over_speech" "$work/allspeech.wav" speech 0 16
if [ "$english_prompts" -gt 0 ]; then
    count=$(awk -v n="$digits_over_recorded" -v s="$english_seconds" 'BEGIN { m = int(s / 0.2); print n < m ? n : m }')
    digits_over "$count" "$work/prompts.wav" "recorded speech" 0 3
fi
for each in "${other_wavs[@]}"; do
    other_seconds=$(soxi -D "${each%%:*}")
    count=$(awk -v n="$digits_over_other" -v s="$other_seconds" 'BEGIN { m = int(s / 0.2); print n < m ? n : m }')
    digits_over "$count" "${each%%:*}" "recorded speech ($(basename "${each#*:}"))" 0
done

channel_table
