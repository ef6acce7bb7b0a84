// The panel as a page: made from the window's own control table (the same
// IDs, captions and groups; nothing written twice), served by the web server
// with its script and style. Every control acts through the API in script
// mode's words; the arrows and a virtual stick steer while held.
#pragma once

#include <string>

std::string PanelPage();    // text/html
std::string PanelScript();  // text/javascript
std::string PanelStyle();   // text/css
