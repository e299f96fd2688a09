// The XML layer: reading XML output documents into typed values, and element helpers.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
