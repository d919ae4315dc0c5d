#include "BashCompletion.h"

#include "Options.h"

namespace {

// The patterns a case branch matches for an option: "--long" and "-s".
std::string Patterns(const TOptionEntry &Entry)
{
    std::string Text = std::string("--") + Entry.Long;
    if (Entry.Key < KeyMix)
        Text += std::string(" | -") + char(Entry.Key);
    return Text;
}

// Every option as offered after "-": those with a value end in "=".
std::string OptionWords()
{
    std::string Words;
    for (const TOptionEntry &Entry : OptionTable) {
        Words += Words.empty() ? "" : " ";
        Words += std::string("--") + Entry.Long;
        if (Entry.Argument == TArgument::Optional)
            Words += std::string(" --") + Entry.Long + "=";
        else if (Entry.Argument == TArgument::Required)
            Words += "=";
    }
    return Words + " -";
}

std::string ValueBranches()
{
    std::string Text;
    for (const TOptionEntry &Entry : OptionTable) {
        if (Entry.Argument == TArgument::None)
            continue;
        const std::string Choices = Entry.Choices;
        Text += "        " + Patterns(Entry) + ")\n";
        if (Choices == "@devices")
            Text += "            words=$(\"$1\" --list-devices 2>/dev/null | cut -f1) ;;\n";
        else
            Text += "            words=\"" + Choices + "\" ;;\n";
    }
    return Text;
}

// Options whose value may come as the next word (not only after "=").
std::string SeparateValuePatterns()
{
    std::string Text;
    for (const TOptionEntry &Entry : OptionTable)
        if (Entry.Argument == TArgument::Required)
            Text += (Text.empty() ? "" : " | ") + Patterns(Entry);
    return Text;
}

} // namespace

std::string BashCompletion()
{
    return "# bash completion for dtmf-decode, made from its option table when it is built\n"
           "_dtmf_decode()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    local option= value= prefix= words\n"
           "    # bash splits \"--option=value\" at \"=\" into three words, and the\n"
           "    # current word is \"=\" itself right after it; without that split the\n"
           "    # word holds both.\n"
           "    if [[ $cur == = ]]; then\n"
           "        option=$prev\n"
           "    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then\n"
           "        option=${COMP_WORDS[COMP_CWORD - 2]} value=$cur\n"
           "    elif [[ $cur == --*=* ]]; then\n"
           "        option=${cur%%=*} value=${cur#*=} prefix=${cur%%=*}=\n"
           "    else\n"
           "        case $prev in\n"
           "        " +
           SeparateValuePatterns() +
           ")\n"
           "            option=$prev value=$cur ;;\n"
           "        esac\n"
           "    fi\n"
           "    if [[ -n $option ]]; then\n"
           "        case $option in\n" +
           ValueBranches() +
           "        *) words= ;;\n"
           "        esac\n"
           "        local IFS=$'\\n'\n"
           "        COMPREPLY=($(compgen -P \"$prefix\" -W \"${words// /$'\\n'}\" -- \"$value\"))\n"
           "        return\n"
           "    fi\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"" +
           OptionWords() +
           "\" -- \"$cur\"))\n"
           "        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null\n"
           "        return\n"
           "    fi\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "}\n"
           "complete -F _dtmf_decode dtmf-decode\n";
}
