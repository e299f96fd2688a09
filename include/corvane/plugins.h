// Plugins: the plugin interface, shared-library, XML descriptor and internal plugins, extension commands.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
