// The owner's view's request reader under hostile bytes. Input: a chunk size byte, then the bytes
// a client sends, fed in chunks of that size as a slow network would hand them over.
//  - the same bytes give the same requests (or the same refusal) whole and in chunks;
//  - a refusal is one of 400, 414, 431, 505, and nothing is read after it;
//  - a request read has a method, a path starting with "/", header names in lower case, and a
//    path marked safe never holds "..", "//", "\" or a NUL once decoded.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "webview/Http.h"

#include <QList>

namespace {

struct Outcome {
    QList<QByteArray> requests; // method, path and whether it is safe, one per request
    int failure = 0;
    bool operator==(const Outcome &) const = default;
};

void checkRequest(const webview::http::Request &r) {
    FUZZ_CHECK(!r.method.isEmpty());
    FUZZ_CHECK(r.path.startsWith('/') || !r.pathSafe);
    for (const auto &[name, value] : r.headers) {
        FUZZ_CHECK(name == name.toLower());
    }
    if (r.pathSafe) {
        FUZZ_CHECK(!r.path.contains("..") && !r.path.contains("//") && !r.path.contains('\\') &&
                   !r.path.contains('\0'));
    }
}

Outcome read(const QByteArray &bytes, qsizetype chunk) {
    webview::http::RequestParser parser;
    Outcome out;
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        auto state = parser.feed(QByteArrayView(bytes).sliced(at, std::min(chunk, bytes.size() - at)));
        while (state == webview::http::RequestParser::State::Complete) {
            const webview::http::Request r = parser.take();
            checkRequest(r);
            out.requests << r.method + ' ' + r.path + (r.pathSafe ? " safe" : " unsafe");
            state = parser.state();
        }
        if (state == webview::http::RequestParser::State::Failed) {
            out.failure = parser.failure();
            FUZZ_CHECK(out.failure == 400 || out.failure == 414 || out.failure == 431 || out.failure == 505);
            break;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    FuzzInput in(data, size);
    const qsizetype chunk = 1 + in.take<unsigned char>() % 64;
    const QByteArray bytes = in.rest();
    const Outcome whole = read(bytes, std::max<qsizetype>(1, bytes.size()));
    FUZZ_CHECK(read(bytes, chunk) == whole);
    return 0;
}
