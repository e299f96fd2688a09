// Output formatting: format parameters, the formatter interface and the built-in formatters.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
