#pragma once

// Pictures of the displays: a Drawing painted with Qt, and a low-priority thread that makes
// the pictures away from the user interface's thread.

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "corvane/ui/tune_graph_layout.h"

class QPainter;

namespace corvane::ui {

QColor qt_colour(files::Rgb rgb);
void paint_drawing(QPainter& painter, const Drawing& drawing);
QImage picture_of(const Drawing& drawing);
// Writes the drawing as a PNG picture or, for a path ending in ".svg", as SVG; an empty
// text when written, else what went wrong.
[[nodiscard]] QString save_drawing(const Drawing& drawing, const QString& path, const QString& title);

// Makes each requested picture on its own thread at low priority. A request that has not
// started when a newer one comes is dropped, and so is a finished one the receiver has not
// taken yet; each picture taken goes to `deliver` on the receiver's thread.
class PictureWorker final : public QObject {
    Q_OBJECT
public:
    using Make = std::function<Drawing()>;
    using Deliver = std::function<void(QImage, Drawing)>;

    PictureWorker(QObject& receiver, Deliver deliver);
    ~PictureWorker() override;
    PictureWorker(const PictureWorker&) = delete;
    PictureWorker& operator=(const PictureWorker&) = delete;

    void request(Make make);

signals:
    // From the worker's thread: a picture waits in `finished_`.
    void picture_finished();

private:
    using Finished = std::pair<QImage, Drawing>;

    void run();
    void deliver_finished();

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Make> pending_;
    std::optional<Finished> finished_;  // the last picture made, until the receiver takes it
    bool quit_ = false;
    std::thread thread_;  // a plain thread, so that the sanitizers see it joined
};

}  // namespace corvane::ui
