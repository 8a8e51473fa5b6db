#pragma once
// Whether the map's tile server can be reached: a worker looks every second and asks the server
// itself no more than once per recheck period while nothing changes (30 s by default, to be
// kind to a public server). The flag is read by the page's host and the main window.

#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>

namespace tavrilo {

class CInetConnectionAsync {
  public:
    CInetConnectionAsync() = default;
    ~CInetConnectionAsync();
    CInetConnectionAsync(const CInetConnectionAsync&) = delete;
    CInetConnectionAsync& operator=(const CInetConnectionAsync&) = delete;

    // Starts watching `checkUrl` (http or https); an unusable address leaves it disconnected.
    void Start(const QString& checkUrl, int recheckMs = 30000, int timeoutMs = 5000);
    void Stop();
    bool connected() const { return connected_; }
    // How many times the server was asked, for the tests.
    uint64_t asked() const { return asked_; }

  private:
    std::atomic<bool> connected_{false};
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> asked_{0};
    QThread* thread_ = nullptr;
};

}  // namespace tavrilo
