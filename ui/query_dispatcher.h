// The browser-side end of every page request: the query text is parsed, its "requestName" picks
// one of the request methods of HtmlRequests, that request's keys are read by type, and the page
// always gets the same answer. Main thread, inside the engine pump.
#pragma once

#include "ui/html_requests.h"

#include <string>
#include <vector>

// The answer to every query: {"result":0}.
const std::string& htmlQueryAnswer();

// Handles one query on `requests` and returns the answer text. A query that is not a JSON object is
// logged and answered like any other; it reaches no handler.
std::string dispatchHtmlQuery(const std::string& request, HtmlRequests& requests);

// The request names in dispatch order.
std::vector<std::string> htmlRequestNames();
