// The transport's start-up: the registrations every entry point relies on,
// made once per process at the first use of any of them (a static library's
// static initialisers need not run), in this order: the flat-file store for
// targets 999 to 1003, the lifecycle observer, the metrics controller for
// targets 1002 then 1001, the application, then the shared uploader for
// targets 1000 to 1003. The store's registrations leave its delegate empty;
// the metrics controller's then make it the store's delegate for good.
#pragma once

void ZTCORTransportStartUp();

// For tests: makes the registrations again on the shared registrar, with
// the current shared store and metrics controller (after their reset), but
// leaves no uploader registered (see below).
void ZTCORTransportRegisterComponentsForTesting();

// For tests: removes every registered uploader and waits for the uploads
// already handed to the shared uploader. The upload timer and forced uploads
// then reach no uploader, so no batch is taken behind a test's back.
void ZTCORTransportQuietUploadsForTesting();
