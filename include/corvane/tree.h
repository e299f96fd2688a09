// Command tree: namespaces, commands, help data and the command listing.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
