# The level meter control and the system colours it shares with the windows.
target_sources(ui PRIVATE Cmp_LedDisplay.cpp Cmp_LedDisplay.h SystemColors.cpp SystemColors.h)
