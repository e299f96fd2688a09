// Process runner: shell commands with captured input and output, and the embedding program's hooks.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
