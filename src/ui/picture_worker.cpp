#include "corvane/ui/picture_worker.h"

#include <QFont>
#include <QPainter>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace corvane::ui {
namespace {

constexpr int kPictureNiceness = 10;

QString qt_text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void paint_label(QPainter& painter, const Drawing::Label& label, const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * label.size);
    painter.setFont(font);
    painter.setPen(qt_colour(label.colour));
    QString text = qt_text(label.text);
    const auto symbols = text.toUcs4();
    const bool drawable = std::all_of(symbols.begin(), symbols.end(),
                                      [&](char32_t c) { return painter.fontMetrics().inFontUcs4(c); });
    if (!drawable && !label.fallback.empty()) {
        font.setBold(true);
        font.setItalic(true);
        painter.setFont(font);
        text = qt_text(label.fallback);
    }
    const double width = painter.fontMetrics().horizontalAdvance(text);
    double x = label.at.x;
    if (label.align == Drawing::Align::centre) x -= width / 2;
    if (label.align == Drawing::Align::right) x -= width;
    painter.drawText(QPointF(x, label.at.y), text);
}

}  // namespace

QColor qt_colour(files::Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void paint_drawing(QPainter& painter, const Drawing& d) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(0, 0, d.width, d.height), qt_colour(d.background));
    for (const auto& box : d.boxes) {
        painter.setPen(QPen(qt_colour(box.edge), 1));
        painter.setBrush(qt_colour(box.fill));
        painter.drawRect(QRectF(box.top_left.x, box.top_left.y, box.width, box.height));
    }
    for (const auto& line : d.lines) {
        painter.setPen(QPen(qt_colour(line.colour), line.width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(line.from.x, line.from.y), QPointF(line.to.x, line.to.y));
    }
    painter.setPen(Qt::NoPen);
    for (const auto& note : d.notes) {
        painter.setBrush(qt_colour(note.colour));
        painter.drawEllipse(QPointF(note.centre.x, note.centre.y), note.radius * 1.25, note.radius);
    }
    const QFont base = painter.font();
    for (const auto& label : d.labels) paint_label(painter, label, base);
    if (d.scan_x) {
        painter.setPen(QPen(qt_colour(d.scan_colour), 1));
        painter.drawLine(QPointF(*d.scan_x, 0), QPointF(*d.scan_x, d.height));
    }
}

QImage picture_of(const Drawing& d) {
    QImage image(std::max(1, static_cast<int>(d.width)), std::max(1, static_cast<int>(d.height)),
                 QImage::Format_RGB32);
    QPainter painter(&image);
    paint_drawing(painter, d);
    return image;
}

PictureWorker::PictureWorker(QObject& receiver, Deliver deliver) : deliver_(std::move(deliver)) {
    moveToThread(receiver.thread());
    // The picture crosses under our own lock; the queued signal only says it is there, and
    // Qt makes its event inside its own library, so nothing the worker allocates crosses
    // through Qt's queue, whose locks the sanitizers cannot see. Pending deliveries go with
    // this object.
    connect(this, &PictureWorker::picture_finished, this, &PictureWorker::deliver_finished, Qt::QueuedConnection);
    thread_ = std::thread([this] {
        // Pictures wait behind everything else: a nicer value for this thread alone.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kPictureNiceness);
        run();
    });
}

PictureWorker::~PictureWorker() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void PictureWorker::request(Make make) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(make);
    }
    wake_.notify_one();
}

void PictureWorker::run() {
    for (;;) {
        Make make;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
            if (quit_) return;
            make = std::move(*pending_);
            pending_.reset();
        }
        Drawing drawing = make();
        QImage image = picture_of(drawing);
        {
            std::lock_guard lock(mutex_);
            finished_.emplace(std::move(image), std::move(drawing));
        }
        emit picture_finished();
    }
}

// On the receiver's thread.
void PictureWorker::deliver_finished() {
    std::optional<Finished> finished;
    {
        std::lock_guard lock(mutex_);
        finished.swap(finished_);
    }
    if (finished) deliver_(std::move(finished->first), std::move(finished->second));
}

}  // namespace corvane::ui
