// The whole automation layer in one include: Variant, objects and dispatch
// maps, errors, events, enumerators, type libraries, servers and creation.
#pragma once

#include "platform/automation/create.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"
#include "platform/automation/events.h"
#include "platform/automation/object.h"
#include "platform/automation/server.h"
#include "platform/automation/typelib.h"
#include "platform/automation/variant.h"
