// The layout of state.db: every table of every kernel service, created in
// one place so that each connection (Device::Db) and each new device
// (Device::Create) gets the same schema however the services are linked.
#pragma once

#include "sql.h"

namespace cedev {

bool CreateStateSchema(SqlDb& db);

}  // namespace cedev
