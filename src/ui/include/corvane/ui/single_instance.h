#pragma once

// One copy of the program per data folder. The running copy listens on a local socket
// named after its data folder; a second launch with a file writes the file's name into
// "association.ini" there, asks the running copy to take it and ends when it does.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

namespace corvane::ui {

QString instance_server_name(const std::filesystem::path& program_folder);

// True when a running copy answers on the socket.
bool running_copy_found(const QString& server_name);

enum class HandOffResult { taken, refused, failed };

// Writes the hand-off file and asks the running copy to open it. `failed` when the file
// could not be written or the running copy did not answer.
HandOffResult hand_off_file(const QString& server_name, const std::filesystem::path& program_folder,
                            const std::string& file);

// The running copy's side: answers each hand-off with whether `take` took the file named
// in the hand-off file.
class InstanceServer final : public QObject {
    Q_OBJECT
public:
    using Take = std::function<bool(const std::string& file)>;

    InstanceServer(QString server_name, std::filesystem::path program_folder, Take take, QObject* parent = nullptr);

    // Starts listening, clearing a name left behind by a copy that ended without closing
    // it. False when another copy is listening already: this one then takes no hand-offs and
    // leaves the name to the first.
    bool listen();

private:
    void answer(class QLocalSocket* socket);

    QString name_;
    std::filesystem::path program_folder_;
    Take take_;
    QLocalServer server_;
};

}  // namespace corvane::ui
