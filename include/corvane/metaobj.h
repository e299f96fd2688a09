// Typed values: MetaObject and its kinds (booleans, integers, strings, structures, lists).
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
