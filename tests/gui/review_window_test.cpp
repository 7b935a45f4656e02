// The window over a list of scans: stepping through pages, starting a page
// afresh, the flagged columns after "4. Check ID", the operator's IDs kept
// across pages and saved to the review file, and the question on closing
// with corrections not saved.

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/gui/picture_view.h"
#include "app/gui/print_form.h"
#include "form/block_layout.h"
#include "picture/bmp.h"
#include "scan/rectify.h"
#include "tests/sheet_id.h"
#include <opencv2/imgproc.hpp>
#include "window_fixture.h"

#include <QPrinter>

namespace idr::test {
namespace {

// The built-in sheet with bubble (column, row) filled in as well.
Surface sheet_with_extra_mark(int column, int row) {
    Surface s = Form1().picRedraw.surface;
    const double cx = block::bubble_centre_x(column), cy = block::bubble_centre_y(row);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= 9.0 * 9.0) s.PSet(static_cast<float>(x), static_cast<float>(y), 0x202020);
        }
    return s;
}

std::string read_all(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The window with three scans open: a.bmp and c.bmp the sheet as it is
// (read "ok"), b.bmp with a second mark in column 4 (to review).
class ScansTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        write("a.bmp", Form1().picRedraw.surface);
        write("b.bmp", sheet_with_extra_mark(3, 0));
        write("c.bmp", Form1().picRedraw.surface);
        window.open_paths({file("a.bmp"), file("b.bmp"), file("c.bmp")});
    }

    void write(const char* name, const Surface& s) {
        const std::vector<std::uint8_t> bmp = encode_bmp(s);
        std::ofstream(file(name).toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString status() const { return window.status_bar() ? window.status_bar()->text() : QString(); }
    QString current_file() const {
        return QFileInfo(QString::fromStdString(window.session().page(window.session().current()).file)).fileName();
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    }
    void read_four_steps() {
        for (ButtonId id : {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId}) click(id);
    }
    QString csv_path() const { return dir.filePath(QStringLiteral("id-reader-review.csv")); }

    QTemporaryDir dir;
};

TEST_F(ScansTest, PageKeysStepThroughTheListAndStopAtItsEnds) {
    const struct {
        int key;
        const char* file;
        const char* position;
    } steps[] = {
        {Qt::Key_PageUp, "a.bmp", "(1 of 3)"},   {Qt::Key_PageDown, "b.bmp", "(2 of 3)"},
        {Qt::Key_PageDown, "c.bmp", "(3 of 3)"}, {Qt::Key_PageDown, "c.bmp", "(3 of 3)"},
        {Qt::Key_PageUp, "b.bmp", "(2 of 3)"},   {Qt::Key_PageUp, "a.bmp", "(1 of 3)"},
    };
    EXPECT_EQ(current_file(), "a.bmp");
    for (const auto& s : steps) {
        key(s.key);
        EXPECT_EQ(current_file(), s.file);
        EXPECT_TRUE(status().startsWith(QStringLiteral("%1 — page 1 of 1 %2").arg(s.file, s.position)))
            << status().toStdString();
    }
}

TEST_F(ScansTest, StatusBarGrowsTheWindowBelowTheUnmovedControls) {
    const Rect& client = window_design().client_pixels;
    ASSERT_NE(window.status_bar(), nullptr);
    EXPECT_EQ(window.status_bar()->geometry().top(), client.height);
    EXPECT_EQ(window.height(), client.height + window.status_bar()->height());
    EXPECT_EQ(window.picture()->geometry(), QRect(control_design("picRedraw").pixels.left,
                                                 control_design("picRedraw").pixels.top, 266, 366));
}

TEST_F(ScansTest, CtrlRStartsThePageAfreshWithItsOwnNumbers) {
    key(Qt::Key_PageDown);
    const Form1 fresh = form;
    const QString threshold = box("txtTreshold")->text();
    type_into("txtTreshold", QStringLiteral("200"));
    read_four_steps();
    ASSERT_NE(form.picRedraw.surface, fresh.picRedraw.surface);
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(form.picRedraw.surface, fresh.picRedraw.surface);
    EXPECT_EQ(form.Shape1.count(), 1);
    EXPECT_EQ(box("txtTreshold")->text(), threshold);
    EXPECT_TRUE(button(ButtonId::Binary)->isEnabled());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    EXPECT_TRUE(window.picture()->flags().empty());
    EXPECT_EQ(current_file(), "b.bmp");  // the page stays
}

TEST_F(WindowTest, CtrlRStartsTheBuiltInSheetAfresh) {
    click(ButtonId::Up);
    click(ButtonId::Binary);
    click(ButtonId::Draw);
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    const Form1 start;
    EXPECT_EQ(form.picRedraw.surface, start.picRedraw.surface);
    EXPECT_EQ(form.Shape1.elements(), start.Shape1.elements());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    for (ButtonId id : kAllButtons) EXPECT_TRUE(button(id)->isEnabled());
    EXPECT_EQ(window.status_bar(), nullptr);  // no pages, no status bar
}

TEST_F(ScansTest, CheckIdFramesTheUndecidedColumnsWithoutTouchingThePixels) {
    key(Qt::Key_PageDown);  // b.bmp, two marks in column 4
    for (ButtonId id : {ButtonId::Binary, ButtonId::Draw, ButtonId::Check}) click(id);
    EXPECT_TRUE(window.picture()->flags().empty());
    EXPECT_EQ(status(), QStringLiteral("b.bmp — page 1 of 1 (2 of 3)"));
    const Surface before = form.picRedraw.surface;
    const QString title = window.windowTitle();
    click(ButtonId::CheckId);
    ASSERT_EQ(window.picture()->flags().size(), 1u);
    EXPECT_EQ(window.picture()->flags()[0].column, 3);
    EXPECT_EQ(window.picture()->flags()[0].mark, QChar('*'));
    EXPECT_EQ(form.picRedraw.surface, before);
    EXPECT_TRUE(status().endsWith(QStringLiteral("— review: column 4: two marks"))) << status().toStdString();
    EXPECT_TRUE(window.picture()->accessibleDescription().contains(QStringLiteral("column 4: two marks")));
    EXPECT_EQ(window.windowTitle(), title);  // the steps' status line is theirs alone

    key(Qt::Key_PageDown);  // c.bmp reads clean
    read_four_steps();
    EXPECT_TRUE(window.picture()->flags().empty());
    EXPECT_TRUE(status().endsWith(QStringLiteral("— ok"))) << status().toStdString();
}

TEST_F(ScansTest, TypedIdsSurviveSteppingAndGoToTheReviewFile) {
    key(Qt::Key_PageDown);
    read_four_steps();
    type_into("Student_ID", QStringLiteral("=5093719246"));
    key(Qt::Key_PageDown);

    key(Qt::Key_PageUp);
    EXPECT_EQ(box("Student_ID")->text(), QStringLiteral("=5093719246"));
    EXPECT_TRUE(window.session().unsaved());
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(window.session().unsaved());
    EXPECT_EQ(read_all(csv_path()),
              "file,page,reading,status,id\r\n"
              "a.bmp,1,5093719246,ok,5093719246\r\n"
              "b.bmp,1,509*719246,corrected,'=5093719246\r\n"
              "c.bmp,1,5093719246,ok,5093719246\r\n");
}

TEST_F(ScansTest, SavingKeepsRowsOfOtherPagesAlreadyInTheFile) {
    std::ofstream(csv_path().toStdString()) << "file,page,reading,status,id\r\nold.png,4,1111111111,ok,1111111111\r\n"
                                            << "a.bmp,1,,review,\r\n";
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(read_all(csv_path()),
              "file,page,reading,status,id\r\n"
              "old.png,4,1111111111,ok,1111111111\r\n"
              "a.bmp,1,5093719246,ok,5093719246\r\n");
}

// Answers the question the window asks on closing; nullopt: no question.
std::optional<QString> close_answering(MainWindow& window, QMessageBox::StandardButton answer) {
    std::optional<QString> asked;
    QTimer::singleShot(0, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        asked = box->text();
        box->button(answer)->click();
    });
    window.close();
    return asked;
}

TEST_F(ScansTest, ClosingWithUnsavedCorrectionsAsks) {
    const struct {
        QMessageBox::StandardButton answer;
        bool closed;
        bool saved;
    } cases[] = {
        {QMessageBox::Cancel, false, false},
        {QMessageBox::Discard, true, false},
        {QMessageBox::Save, true, true},
    };
    for (const auto& c : cases) {
        QFile::remove(csv_path());
        window.show();
        type_into("Student_ID", QStringLiteral("1234567890"));
        const auto asked = close_answering(window, c.answer);
        ASSERT_TRUE(asked);
        EXPECT_EQ(window.isVisible(), !c.closed);
        EXPECT_EQ(QFile::exists(csv_path()), c.saved);
        if (c.saved) {
            EXPECT_NE(read_all(csv_path()).find("a.bmp,1,5093719246,corrected,1234567890"), std::string::npos);
        }
        if (!c.saved) type_into("Student_ID", QString());  // withdrawn: the next case types afresh
    }
    // Saved: closing asks nothing more.
    window.show();
    EXPECT_FALSE(close_answering(window, QMessageBox::Cancel));
    EXPECT_FALSE(window.isVisible());
}

// Answers the next modal box (a file dialog or a message box) once it is
// up: `act` gets it and closes it.
template <class Box, class Act>
void when_shown(QWidget* window, Act act) {
    QTimer::singleShot(0, window, [act] {
        if (auto* box = qobject_cast<Box*>(QApplication::activeModalWidget())) act(box);
    });
}

std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

TEST_F(ScansTest, CtrlEWritesTheReportOfEveryPageOpenThroughADialog) {
    QString dialog_name, offered;
    when_shown<QFileDialog>(&window, [&](QFileDialog* dialog) {
        dialog_name = dialog->objectName();
        offered = dialog->selectedFiles().value(0);
        dialog->selectFile(file("handed-on"));  // the .html is added
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(dialog_name, QStringLiteral("reportDialog"));
    EXPECT_EQ(QFileInfo(offered).fileName(), QStringLiteral("id-reader-report.html"));
    EXPECT_EQ(QFileInfo(offered).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    const std::string html = read_all(file("handed-on.html"));
    ASSERT_FALSE(html.empty());
    EXPECT_EQ(count_of(html, "<article"), 3u);
    // b.bmp, with two marks in column 4, comes first: pages to review lead.
    const std::size_t b = html.find("b.bmp"), a = html.find("a.bmp"), c = html.find("c.bmp");
    EXPECT_LT(b, a);
    EXPECT_LT(a, c);
    EXPECT_NE(html.find("<li>column 4: two marks</li>"), std::string::npos);
    EXPECT_EQ(count_of(html, "data:image/jpeg;base64,"), 3u);
    EXPECT_TRUE(status().endsWith(QStringLiteral("report written to handed-on.html"))) << status().toStdString();
    EXPECT_EQ(current_file(), "a.bmp");  // the window is where it was
}

TEST_F(ScansTest, AReportThatWouldOverwriteAScanOrCannotBeWrittenIsRefused) {
    const std::string scan = read_all(file("a.bmp"));
    const struct {
        QString path;
        QString in_message;
    } cases[] = {
        {file("a.bmp"), QStringLiteral("a.bmp: is one of the files to read; it is kept, not overwritten")},
        {file("no-folder/report.html"), file("no-folder/report.html")},
    };
    for (const auto& c : cases) {
        QString said;
        when_shown<QMessageBox>(&window, [&](QMessageBox* box) {
            said = box->informativeText();
            box->accept();
        });
        EXPECT_FALSE(window.write_report(c.path));
        EXPECT_TRUE(said.contains(c.in_message)) << said.toStdString();
        EXPECT_TRUE(status().contains(QStringLiteral("report not written: "))) << status().toStdString();
    }
    EXPECT_EQ(read_all(file("a.bmp")), scan);
}

TEST_F(WindowTest, CtrlEWithoutScansSaysThereIsNothingToReport) {
    QString said;
    bool dialog = false;
    when_shown<QMessageBox>(&window, [&](QMessageBox* box) {
        said = box->text();
        box->accept();
    });
    when_shown<QFileDialog>(&window, [&](QFileDialog* d) {
        dialog = true;
        d->reject();
    });
    QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(said.contains(QStringLiteral("nothing to report"))) << said.toStdString();
    EXPECT_FALSE(dialog);
}

TEST_F(WindowTest, PathsThatGiveNoPagesAreNamedAndTheOthersOpen) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    const std::vector<std::uint8_t> bmp = encode_bmp(Form1().picRedraw.surface);
    std::ofstream(good.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    std::ofstream(broken.toStdString()) << "not a picture";
    window.open_paths({broken, good, dir.filePath(QStringLiteral("gone.jpg"))});
    EXPECT_EQ(window.session().size(), 1);
    auto* box = window.findChild<QMessageBox*>(QStringLiteral("openProblems"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->informativeText().contains(broken + QStringLiteral(": ")));
    EXPECT_TRUE(box->informativeText().contains(dir.filePath(QStringLiteral("gone.jpg")) + QStringLiteral(": no such file")));
    box->close();
}

// The built-in sheet on a page of paper, mirrored and turned as a stack
// brings it, as a 24-bit BMP.
void write_page_of_sheet(const std::string& path, bool mirrored, int half_turns) {
    cv::Mat sheet = scan::to_mat(Form1().picRedraw.surface), page;
    cv::resize(sheet, sheet, cv::Size(), 1.5, 1.5, cv::INTER_CUBIC);
    if (mirrored) cv::flip(sheet, sheet, 1);
    if (half_turns % 2) cv::rotate(sheet, sheet, cv::ROTATE_180);
    cv::copyMakeBorder(sheet, page, 60, 60, 60, 60, cv::BORDER_CONSTANT, cv::Scalar::all(250));
    const std::vector<std::uint8_t> bmp = encode_bmp(scan::to_surface(page));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

// A mirrored page is read the right way round but is one to review, and says
// so; an upside-down one is ok and says how it lay.
TEST_F(WindowTest, PagesSayHowTheyLayAndAMirroredOneIsToReview) {
    QTemporaryDir dir;
    const std::string mirrored = dir.filePath(QStringLiteral("mirrored.bmp")).toStdString();
    const std::string upside_down = dir.filePath(QStringLiteral("upside-down.bmp")).toStdString();
    write_page_of_sheet(mirrored, true, 0);
    write_page_of_sheet(upside_down, false, 1);
    window.open_paths({QString::fromStdString(mirrored), QString::fromStdString(upside_down)});
    const struct {
        const char* status;
    } expect[] = {{"review: the page is mirrored"}, {"ok — the page is upside down"}};
    for (const auto& e : expect) {
        for (ButtonId id : {ButtonId::Binary, ButtonId::Draw, ButtonId::Check, ButtonId::CheckId}) click(id);
        EXPECT_EQ(box("Student_ID")->text().toStdString(), std::string(kSheetId));
        const QString status = window.status_bar()->text();
        EXPECT_TRUE(status.endsWith(QString::fromUtf8(e.status))) << status.toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    }
}

TEST(PrintForm, TheBlankFormFillsOnePdfPageOfThePrintersPaper) {
    QTemporaryDir dir;
    for (const auto& [size, paper] : {std::pair{QPageSize::A4, printing::Paper::A4},
                                      std::pair{QPageSize::Letter, printing::Paper::Letter}}) {
        const QString out = dir.filePath(QStringLiteral("form.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        prepare_printer(printer);
        printer.setPageSize(QPageSize(size));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        EXPECT_EQ(paper_of(printer), paper);
        EXPECT_FALSE(paint_blank_form(printer));
        const std::string pdf = read_all(out);
        EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
        EXPECT_GT(pdf.size(), 10'000u);  // the form's picture, not an empty page
    }
}

}  // namespace
}  // namespace idr::test
