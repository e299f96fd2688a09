// Call specification: parameters, constraints, input and output of a call.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
