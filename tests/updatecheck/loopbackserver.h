#pragma once
// A minimal HTTP server on 127.0.0.1 (a free port) for the update check's tests. Every request
// gets the same Answer; each connection is closed after its answer unless the answer says
// otherwise. It stops when destroyed.
// Thread rule: GUI thread; it runs on the thread's event loop.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace orvella::test {

struct HttpAnswer {
    QByteArray Status = "200 OK";
    QByteArray Body;
    // The Content-Length sent: -1 the body's real size, -2 none (the body ends with the
    // connection), any other value as given.
    qint64 ContentLength = -1;
    bool Silent = false;   // accept and read the request, never answer
    bool KeepOpen = false; // after the answer, keep the connection open and say nothing more
};

class LoopbackServer : public QObject {
    Q_OBJECT
public:
    LoopbackServer();

    // http://127.0.0.1:<port><path>
    QString Url(const QString& path = QStringLiteral("/orvella.xml")) const;

    HttpAnswer Answer;
    int Requests = 0;       // complete request heads received
    QByteArray LastRequest; // the last request head, as received
    int Closed = 0;         // connections the client closed

private:
    void Accept();

    QTcpServer Server;
};

} // namespace orvella::test
