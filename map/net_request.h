#pragma once
// One HTTP request made on a worker thread that has no event loop of its own: it waits for the
// reply, giving up after a time limit or when asked to stop. The program names itself.

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <atomic>
#include <memory>

class QThread;

namespace tavrilo {

// Sets `stop`, waits for the worker and deletes it (at most the worker's own stop delay).
void StopWorker(QThread*& thread, std::atomic<bool>& stop);

// Whether `url` is an http or https address with a host: the only kind the program asks or
// opens.
bool IsWebAddress(const QUrl& url);

// A request for `url` with the program's User-Agent and no cache writes.
QNetworkRequest MakeRequest(const QUrl& url, int timeoutMs);

// Waits until `reply` finished, `timeoutMs` passed or `stop` was set; the reply is aborted
// unless it finished.
std::unique_ptr<QNetworkReply> WaitForReply(QNetworkReply* reply, int timeoutMs,
                                            const std::atomic<bool>& stop);

}  // namespace tavrilo
