// Dispatch: the dispatcher, the option parser and the command-line front end.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
