#include "loopbackserver.h"

#include <QTcpSocket>

namespace orvella::test {

LoopbackServer::LoopbackServer() {
    Server.listen(QHostAddress::LocalHost, 0);
    connect(&Server, &QTcpServer::newConnection, this, &LoopbackServer::Accept);
}

QString LoopbackServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(Server.serverPort()).arg(path);
}

void LoopbackServer::Accept() {
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, this, [this] { ++Closed; });
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, head = QByteArray()]() mutable {
                    head += socket->readAll();
                    const qsizetype end = head.indexOf("\r\n\r\n");
                    if (end < 0) return;
                    ++Requests;
                    LastRequest = head.left(end + 4);
                    head.clear();
                    if (Answer.Silent) return;
                    QByteArray response =
                        "HTTP/1.1 " + Answer.Status + "\r\nContent-Type: text/xml\r\n";
                    if (Answer.ContentLength != -2)
                        response +=
                            "Content-Length: " +
                            QByteArray::number(Answer.ContentLength == -1 ? Answer.Body.size()
                                                                          : Answer.ContentLength) +
                            "\r\n";
                    response += "Connection: close\r\n\r\n" + Answer.Body;
                    socket->write(response);
                    if (!Answer.KeepOpen) socket->disconnectFromHost();
                });
    }
}

} // namespace orvella::test
