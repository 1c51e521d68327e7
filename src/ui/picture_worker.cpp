#include "corvane/ui/picture_worker.h"

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
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
    const QString text = qt_text(label.text);
    const double width = painter.fontMetrics().horizontalAdvance(text);
    double x = label.at.x;
    if (label.align == Drawing::Align::centre) x -= width / 2;
    if (label.align == Drawing::Align::right) x -= width;
    painter.drawText(QPointF(x, label.at.y), text);
}

// The score's symbols in staff spaces, y downwards, from where they sit on the staff (see
// Drawing::Shape). Each is a stroked outline and the filled parts.
struct SymbolPaths {
    QPainterPath stroked;
    double stroke = 0.12;  // staff spaces
    QPainterPath filled;
};

SymbolPaths g_clef() {
    SymbolPaths p;
    QPainterPath& s = p.stroked;
    // From inside the curl round G4 out, up to the loop at the top, down the spine to the hook.
    s.moveTo(0.15, 0.45);
    s.cubicTo(-0.55, 0.45, -0.6, -0.65, 0.1, -0.7);
    s.cubicTo(0.95, -0.75, 1.1, 0.75, 0.15, 1.0);
    s.cubicTo(-1.0, 1.3, -1.35, -0.1, -0.55, -0.95);
    s.cubicTo(-0.05, -1.5, 0.65, -2.2, 0.6, -3.1);
    s.cubicTo(0.58, -3.9, 0.05, -4.0, -0.12, -3.5);
    s.cubicTo(-0.35, -2.8, -0.12, -1.2, 0.05, -0.2);
    s.lineTo(0.4, 2.2);
    s.cubicTo(0.5, 2.85, -0.15, 3.05, -0.4, 2.65);
    p.stroke = 0.16;
    p.filled.addEllipse(QPointF(-0.28, 2.45), 0.24, 0.24);
    return p;
}

SymbolPaths f_clef() {
    SymbolPaths p;
    // The body from the dot on F3's line up over the top line and down to the left.
    p.stroked.moveTo(0.0, 0.05);
    p.stroked.cubicTo(-0.05, -1.0, 1.6, -1.35, 1.8, -0.2);
    p.stroked.cubicTo(1.9, 1.0, 0.9, 2.0, -0.1, 2.5);
    p.stroke = 0.22;
    p.filled.addEllipse(QPointF(0.15, 0.0), 0.3, 0.3);
    p.filled.addEllipse(QPointF(2.3, -0.5), 0.14, 0.14);
    p.filled.addEllipse(QPointF(2.3, 0.5), 0.14, 0.14);
    return p;
}

SymbolPaths sharp() {
    SymbolPaths p;
    p.stroked.moveTo(-0.2, -1.2);
    p.stroked.lineTo(-0.2, 1.35);
    p.stroked.moveTo(0.2, -1.35);
    p.stroked.lineTo(0.2, 1.2);
    p.stroke = 0.09;
    // The two thick bars rise to the right.
    for (const double y : {-0.4, 0.45}) {
        QPolygonF bar;
        bar << QPointF(-0.5, y + 0.12) << QPointF(0.5, y - 0.12) << QPointF(0.5, y - 0.34) << QPointF(-0.5, y - 0.1);
        p.filled.addPolygon(bar);
        p.filled.closeSubpath();
    }
    return p;
}

SymbolPaths flat() {
    SymbolPaths p;
    p.stroked.moveTo(-0.3, -1.9);
    p.stroked.lineTo(-0.3, 0.5);
    p.stroked.cubicTo(0.45, 0.05, 0.65, -0.75, -0.3, -0.25);
    p.stroke = 0.12;
    return p;
}

SymbolPaths natural() {
    SymbolPaths p;
    p.stroked.moveTo(-0.25, -1.35);
    p.stroked.lineTo(-0.25, 0.45);
    p.stroked.moveTo(0.25, -0.45);
    p.stroked.lineTo(0.25, 1.35);
    p.stroke = 0.09;
    for (const double y : {-0.3, 0.45}) {
        QPolygonF bar;
        bar << QPointF(-0.25, y) << QPointF(0.25, y - 0.15) << QPointF(0.25, y - 0.37) << QPointF(-0.25, y - 0.22);
        p.filled.addPolygon(bar);
        p.filled.closeSubpath();
    }
    return p;
}

const SymbolPaths& paths_of(Drawing::Symbol symbol) {
    static const SymbolPaths kG = g_clef(), kF = f_clef(), kSharp = sharp(), kFlat = flat(), kNatural = natural();
    switch (symbol) {
        case Drawing::Symbol::g_clef: return kG;
        case Drawing::Symbol::f_clef: return kF;
        case Drawing::Symbol::sharp: return kSharp;
        case Drawing::Symbol::flat: return kFlat;
        case Drawing::Symbol::natural: break;
    }
    return kNatural;
}

void paint_shape(QPainter& painter, const Drawing::Shape& shape) {
    const SymbolPaths& paths = paths_of(shape.symbol);
    painter.save();
    painter.translate(shape.at.x, shape.at.y);
    painter.scale(shape.staff_space, shape.staff_space);
    const QColor colour = qt_colour(shape.colour);
    painter.setPen(QPen(colour, paths.stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(paths.stroked);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(paths.filled);
    painter.restore();
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
    for (const auto& bar : d.bars) {
        painter.setBrush(qt_colour(bar.colour));
        painter.drawRect(QRectF(bar.top_left.x, bar.top_left.y, bar.width, bar.height));
    }
    for (const auto& line : d.contours) {
        painter.setPen(QPen(qt_colour(line.colour), line.width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(line.from.x, line.from.y), QPointF(line.to.x, line.to.y));
    }
    painter.setPen(Qt::NoPen);
    for (const auto& shape : d.shapes) paint_shape(painter, shape);
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

QString save_drawing(const Drawing& d, const QString& path, const QString& title) {
    if (QFileInfo(path).suffix().compare("svg", Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(QSize(static_cast<int>(d.width), static_cast<int>(d.height)));
        svg.setViewBox(QRectF(0, 0, d.width, d.height));
        svg.setTitle(title);
        QPainter painter;
        if (!painter.begin(&svg)) return QObject::tr("Could not write %1").arg(path);
        paint_drawing(painter, d);
        painter.end();
        return QFileInfo(path).size() > 0 ? QString() : QObject::tr("Could not write %1").arg(path);
    }
    return picture_of(d).save(path, "PNG") ? QString() : QObject::tr("Could not write %1").arg(path);
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
