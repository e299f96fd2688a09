// Everything a plugin author or an embedding program needs, in one include.
#pragma once

#include <corvane/callspec.h>
#include <corvane/completion.h>
#include <corvane/dispatch.h>
#include <corvane/exception.h>
#include <corvane/format.h>
#include <corvane/lint.h>
#include <corvane/manual.h>
#include <corvane/metaobj.h>
#include <corvane/plugins.h>
#include <corvane/process.h>
#include <corvane/query.h>
#include <corvane/tree.h>
#include <corvane/xmlutil.h>
