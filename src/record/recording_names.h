// The file-name rules are naming/recording_names.h, below every folder that uses them; this name
// only forwards there for the includes that still use it.
#pragma once

#include "naming/recording_names.h"
