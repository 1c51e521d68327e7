// The main window's ways to files: File > Open Recent, files dropped on the window, where
// MIDI files and recordings go, the folders the file dialogs remember, and File > Export tuning….

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "corvane/midi/hex_dump.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

class DesktopFilesTest : public MainWindowTest {
protected:
    QStringList recent_items() const {
        QStringList texts;
        for (QAction* action : menu("&File")->findChild<QMenu*>("recent_menu")->actions()) texts << action->text();
        return texts;
    }
    bool drop(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
        QCoreApplication::processEvents();
        return enter.isAccepted() && dropped.isAccepted();
    }
    bool drop(const std::filesystem::path& path) { return drop(QStringList{QString::fromStdString(path.string())}); }
    // Starts on "songs/my tune.cv", a composition in a folder of its own.
    std::filesystem::path start_on_a_song() {
        std::filesystem::create_directory(folder / "songs");
        const auto tune = saved_composition("", 4, "songs/my tune.cv");
        start({.started_with_file = true});
        window->open_file(tune);
        return tune;
    }
};

// The last eight files opened or saved, newest first; one opened again moves to the top, one
// gone is said and taken off, and an item opens as File > Open does, asking first.
TEST_F(DesktopFilesTest, OpenRecentKeepsTheLastEightNewestFirst) {
    start();  // the list empty, with no separator above Clear Recent: menus.txt
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i <= 9; ++i) {
        paths.push_back(saved_composition("", i, "tune " + std::to_string(i) + ".cv"));
        window->open_file(paths.back());
    }
    window->open_file(paths[4]);
    const auto shown = [&](int i) { return QString::fromStdString(paths[static_cast<std::size_t>(i)].string()); };
    EXPECT_EQ(recent_items(), QStringList({"&1 " + shown(4), "&2 " + shown(8), "&3 " + shown(7), "&4 " + shown(6),
                                           "&5 " + shown(5), "&6 " + shown(3), "&7 " + shown(2), "&8 " + shown(1), "",
                                           "&Clear Recent"}));
    const QSettings written(QString::fromStdString((folder / "stored.ini").string()), QSettings::IniFormat);
    EXPECT_EQ(written.value("Version " CORVANE_VERSION "/RecentFiles").toStringList().size(), 8);

    type_into("levels", "20");
    reporter.save_choice = platform::SaveChoice::discard;
    item("&File", "recent_2")->trigger();
    EXPECT_TRUE(reporter.said("The composition \"tune 5\" has changes that are not saved.\n\nSave them first?"));
    EXPECT_EQ(context->composition().Levels, 9);

    std::filesystem::remove(paths[7]);
    item("&File", "recent_3")->trigger();
    EXPECT_TRUE(reporter.said("\"" + paths[7].string() + "\" is no longer there, so it is taken off the list."));
    EXPECT_EQ(context->composition().Levels, 9);
    EXPECT_EQ(recent_items().size(), 9);
    EXPECT_FALSE(recent_items().join('\n').contains(shown(7)));

    item("&File", "clear_recent")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(recent_items(), QStringList({"&Clear Recent"}));
    EXPECT_FALSE(item("&File", "clear_recent")->isEnabled());
}

// Each kind of file dropped does what File > Open does with it; a MIDI file is dumped or
// becomes the recording file as the user says; several files or an unknown kind are refused.
TEST_F(DesktopFilesTest, DroppedFilesOpenAsTheFileMenuOpensThem) {
    start();
    const auto tune = saved_composition("", 7, "dropped.cv");
    type_into("levels", "3");
    reporter.save_choice = platform::SaveChoice::discard;  // asked first, as File > Open asks
    EXPECT_TRUE(drop(tune));
    EXPECT_TRUE(
        reporter.said("The composition \"first tune (new file)\" has changes that are not saved.\n\nSave them first?"));
    EXPECT_EQ(context->composition().Levels, 7);

    std::ofstream(folder / "third.SCL") << "! third.scl\r\nThirds\r\n 2\r\n!\r\n 5/4\r\n 2/1\r\n";
    EXPECT_TRUE(drop(folder / "third.SCL"));
    EXPECT_EQ(text("scale_title"), "Thirds");  // the scale itself: OpenFile.AScalaFileSetsTheScaleAndItsTitle

    const auto data = std::filesystem::path(CORVANE_SOURCE_DIR) / "data";
    files::Workspace expected;
    ASSERT_TRUE(files::load_list_of_scales(expected, data / "CRV_reset.lsc"));
    ASSERT_TRUE(files::load_list_of_modes(expected, data / "_19_tone_modes.lmd", false));
    EXPECT_TRUE(drop(data / "CRV_reset.lsc"));
    EXPECT_TRUE(drop(data / "_19_tone_modes.lmd"));
    EXPECT_EQ(context->workspace().scales.entries, expected.scales.entries);
    EXPECT_EQ(context->workspace().modes.entries, expected.modes.entries);

    const auto take = folder / "take.mid";
    std::ofstream(take, std::ios::binary) << std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14);
    reporter.answer = Answer::yes;
    EXPECT_TRUE(drop(take));
    EXPECT_TRUE(reporter.said("\"take.mid\" is a MIDI file.\n\nYes: write its hex dump beside it.\nNo: record play "
                              "along into it."));
    EXPECT_TRUE(reporter.said("The hex dump of \"take.mid\" is in \"" + midi::hex_dump_path(take).string() + "\"."));
    EXPECT_NE(slurp(midi::hex_dump_path(take)).find("MThd"), std::string::npos);
    reporter.answer = Answer::no;
    EXPECT_TRUE(drop(take));
    EXPECT_EQ(context->settings().play_along.szPlayAlong, "take.mid");  // beside the composition: its name only
    EXPECT_EQ(context->play_along().recorder().path(), take);
    EXPECT_EQ(find<QLineEdit>("play_along_file")->text(), "take.mid");
    EXPECT_TRUE(window->record_dialog()->isVisible());

    const auto before = reporter.entries().size();
    EXPECT_TRUE(drop(QStringList{QString::fromStdString(tune.string()), QString::fromStdString(take.string())}));
    EXPECT_TRUE(drop(folder / "notes.txt"));
    const auto said = reporter.entries();
    ASSERT_EQ(said.size(), before + 2);
    EXPECT_EQ(said[before].message,
              "Drop one file at a time: a composition, a scale, a list of scales or of modes, or a MIDI file.");
    EXPECT_EQ(said[before + 1].message,
              "Corvane cannot open \"notes.txt\".\n\nDrop a composition (.cv, .cmp), a Scala scale (.scl), a list of "
              "scales (.lsc) or of modes (.lmd), or a MIDI file (.mid).");
    EXPECT_EQ(context->composition().Levels, 7);
}

// MIDI files and recordings go beside the composition; a new one's go into ~/Music, or home.
TEST_F(DesktopFilesTest, MidiFilesAndRecordingsGoBesideTheComposition) {
    const auto tune = start_on_a_song();
    EXPECT_EQ(context->play_along().recorder().path(), folder / "songs" / "Play along.mid");
    auto* midi_file = open_window<QWidget>('M', "midi_file_dialog");
    ASSERT_NE(midi_file, nullptr);
    EXPECT_EQ(midi_file->findChild<QLineEdit*>("file")->text().toStdString(),
              (folder / "songs" / "my tune.mid").string());

    const auto home = folder / "home";
    std::filesystem::create_directory(home);
    EXPECT_EQ(files::folder_for_outputs("", home), home);
    std::filesystem::create_directory(home / "Music");
    EXPECT_EQ(files::folder_for_outputs("", home), home / "Music");
    EXPECT_EQ(files::folder_for_outputs(tune.string(), home), folder / "songs");
}

// File > Export tuning… offers the composition's name beside it and writes the file type
// chosen, with that type's extension.
TEST_F(DesktopFilesTest, ExportTuningWritesTheFileTypeChosen) {
    start_on_a_song();
    QString offered;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        answer.stop();
        offered = dialog->selectedFiles().value(0);
        dialog->selectNameFilter(QStringLiteral("MIDI tuning dump (*.syx)"));
        // Typed over the name, as selectFile leaves a name field that has the focus as it is.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name != nullptr) name->setText(QStringLiteral("dump"));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept is protected
    });
    answer.start(20);
    item("&File", "export_tuning")->trigger();
    EXPECT_EQ(offered.toStdString(), (folder / "songs" / "my tune.scl").string());
    const std::string dump = slurp(folder / "songs" / "dump.syx");
    ASSERT_EQ(dump.size(), 408u);
    EXPECT_EQ(dump.substr(6, 16), "my tune         ");
}

}  // namespace
}  // namespace corvane::ui
