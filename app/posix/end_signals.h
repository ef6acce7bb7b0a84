// The Linux side of the requests to end (app/end_requests.h): a descriptor
// that becomes readable when one came, for the window's event loop to watch.
#pragma once

int EndSignalFd();     // -1 before end_requests::Install
bool TakeEndSignal();  // empties the descriptor; true when a request had come
