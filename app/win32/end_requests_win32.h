// The Windows side of the requests to end (app/end_requests.h): the console's
// control events reach the window as a posted message; the session's end
// comes to the window itself (WM_ENDSESSION) and is recorded here.
#pragma once

// The window that hears each request as `message`; null when it is gone. A
// request that came before the window did is posted to it at once.
void SetEndRequestWindow(void* hwnd, unsigned message);
// The session ends (WM_ENDSESSION): the exit status of a request to end.
void RequestEndForSession();
// The program has released the line and closed the log: a console close,
// log-off or shut-down event, which ends the process once its handler
// returns, may now return.
void EndRequestsFinished();
