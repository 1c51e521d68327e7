#include "corvane/ui/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include "corvane/files/whole_file.h"
#include "corvane/ui/launch.h"

namespace corvane::ui {
namespace {

constexpr int kConnectWaitMs = 500;
constexpr int kAnswerWaitMs = 10000;
constexpr char kHandOffRequest[] = "HAND_OFF\n";

std::filesystem::path hand_off_path(const std::filesystem::path& program_folder) {
    return program_folder / std::string(kHandOffFileName);
}

}  // namespace

QString instance_server_name(const std::filesystem::path& program_folder) {
    const auto folder = QByteArray::fromStdString(std::filesystem::absolute(program_folder).lexically_normal().string());
    const auto hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("corvane-") + QString::fromLatin1(hash);
}

bool running_copy_found(const QString& server_name) {
    QLocalSocket socket;
    socket.connectToServer(server_name);
    return socket.waitForConnected(kConnectWaitMs);
}

HandOffResult hand_off_file(const QString& server_name, const std::filesystem::path& program_folder,
                            const std::string& file) {
    platform::RecordingReporter quiet;
    if (!files::write_whole_file(hand_off_path(program_folder), file + "\r\n", quiet)) return HandOffResult::failed;
    QLocalSocket socket;
    socket.connectToServer(server_name);
    if (!socket.waitForConnected(kConnectWaitMs)) return HandOffResult::failed;
    socket.write(kHandOffRequest);
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) return HandOffResult::failed;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerWaitMs)) return HandOffResult::failed;
    }
    char answer = '0';
    socket.read(&answer, 1);
    return answer == '1' ? HandOffResult::taken : HandOffResult::refused;
}

InstanceServer::InstanceServer(QString server_name, std::filesystem::path program_folder, Take take, QObject* parent)
    : QObject(parent), name_(std::move(server_name)), program_folder_(std::move(program_folder)), take_(std::move(take)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

bool InstanceServer::listen() {
    // A copy already listening keeps its name: listening with access options replaces the
    // socket file, which would cut the first copy off from every later launch.
    if (running_copy_found(name_)) return false;
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) return true;
    QLocalServer::removeServer(name_);  // left behind by a copy that ended without closing it
    return server_.listen(name_);
}

void InstanceServer::answer(QLocalSocket* socket) {
    if (!socket->canReadLine()) return;
    if (socket->readLine().trimmed() != QByteArrayLiteral("HAND_OFF")) return;
    bool taken = false;
    if (const auto text = files::read_whole_file(hand_off_path(program_folder_))) {
        const std::string file = hand_off_file_name(*text);
        taken = !file.empty() && take_(file);
    }
    socket->write(taken ? "1" : "0");
    socket->flush();
}

}  // namespace corvane::ui
