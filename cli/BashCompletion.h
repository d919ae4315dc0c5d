// The bash completion of dtmf-decode, written from its option table.
#pragma once

#include <string>

std::string BashCompletion();
