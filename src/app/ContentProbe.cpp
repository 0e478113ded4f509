#include "app/ContentProbe.h"

#include "net/HttpCli.h"
#include "platform/ByteText.h"
#include "platform/Dialogs.h"
#include "platform/ProbeBlock.h"

#include <cstdio>
#include <exception>

int judgeUrl(const QString& url, int timeoutSeconds) {
    if (url.left(3).toUpper() == QLatin1String("FTP"))
        return 1;
    if (url.isEmpty())
        return 0;
    THttpCli http;
    http.URL = url;
    http.Timeout = timeoutSeconds;
    // The browser waits for the answer: a server trickling its header cannot hold it.
    http.CallTimeout = timeoutSeconds;
    try {
        http.Head();
    } catch (const EHttpException&) {
        if (http.StatusCode() == 404)
            return 0;
    } catch (const std::exception&) {
        // Any other failure: the headers received so far decide.
    }
    return verdictFromHeaders(http.ReceivedHeader());
}

int verdictFromHeaders(const QStringList& headerLines) {
    for (qsizetype i = headerLines.size(); i-- > 0;) {
        const QString line = headerLines[i].toUpper();
        if (line.startsWith(QLatin1String("CONTENT-TYPE")))
            return line.contains(QLatin1String("TEXT/")) ? 0 : 1;
    }
    return 1;
}

void answerContentProbe(int timeoutSeconds) {
    platform::ProbeBlock block;
    switch (block.openExisting()) {
    case platform::ProbeBlock::Missing:
        platform::errorBox(block.errorString());
        return;
    case platform::ProbeBlock::NotMapped:
        std::fprintf(stderr, "Quillbay: content probe: %s\n", qPrintable(block.errorString()));
        return;
    case platform::ProbeBlock::Opened:
        break;
    }
    const QString url = platform::textFromBytes(block.field(0));
    block.setAnswer(char(judgeUrl(url, timeoutSeconds)));
}
