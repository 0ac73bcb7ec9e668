// The status database's schema, built into the program from schema/status.sql.
#ifndef VELORANTIS_STATUSD_SIM_SCHEMA_TEXT_H_
#define VELORANTIS_STATUSD_SIM_SCHEMA_TEXT_H_

// The SQL statements that create every table and index; each is idempotent.
extern const char kStatusSchema[];

#endif  // VELORANTIS_STATUSD_SIM_SCHEMA_TEXT_H_
