// Each kernel service owns its tables in state.db and creates them here;
// Device::Db runs all of them once per connection.
#pragma once

#include "sql.h"

namespace cedev {

bool CreateJournalSchema(SqlDb& db);
bool CreateFaultSchema(SqlDb& db);
bool CreateFileSchema(SqlDb& db);       // file metadata the host cannot hold
bool CreateRegistrySchema(SqlDb& db);   // keys and values
bool CreateDatabaseSchema(SqlDb& db);   // object-store databases and records
bool CreateProcessSchema(SqlDb& db);    // running device programs, notifications

}  // namespace cedev
