#pragma once

#include "runstate.h"

#include <QString>
#include <tarvix/tarvixpingexport.h>

// A run as text for the clipboard: the component's own lines (the header,
// one line per request, the statistics so far), or one CSV row per request.
// Requests old enough to be folded in the run's history are no longer known
// one by one: the text sums them up in one line, the CSV leaves them out.
class TARVIX_PING_EXPORT RunTranscript
{
public:
    static QString text(const RunState &run);
    // RFC 4180: a header row, CR LF line ends, fields quoted where needed.
    static QString csv(const RunState &run);
    static QString csvHeader();
    static QString csvRow(const RunState &run, const RunHistory::Sample &sample);
};
