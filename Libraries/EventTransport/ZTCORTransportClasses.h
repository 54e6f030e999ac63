// Registers the transport's archived classes (event, clock, metrics records) with
// the keyed-archive registry, once per process. Every operation that reads
// or makes them calls it first, so no start-up order matters.
#pragma once

void ZTCORRegisterTransportClasses();
