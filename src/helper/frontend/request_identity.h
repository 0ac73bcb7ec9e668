// Who made the request and from where, as the web server says: the ledger
// records both with every start and stop.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_IDENTITY_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_IDENTITY_H_

#include <string>

// REMOTE_USER and REMOTE_ADDR, "-" when the web server gave none.
std::string RequestUser();
std::string RequestAddress();

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_IDENTITY_H_
