// The TLS side of a connection: which authorities it trusts and how the
// server's chain becomes a ServerTrust verdict.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

#include "Platform/Network/ServerTrust.h"

namespace net::detail {

// Readies a new connection's context: the system's authorities, those the
// device trusts, and `verify(storeContext, arg)` as the one judge of the
// server's chain. The handshake runs as a pausable job, so that `verify`
// can wait for a delegate without holding up other transfers.
void prepareTLSContext(SSL_CTX* context, int (*verify)(X509_STORE_CTX*, void*), void* arg);

// Checks the chain in `storeContext` against the trusted authorities and
// `host` (a name or an address literal).
std::shared_ptr<const ServerTrust> evaluateServerTrust(X509_STORE_CTX* storeContext, const std::string& host);

}  // namespace net::detail
