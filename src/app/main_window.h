// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QSize>
#include <QStringList>
#include <QWidget>

#include "app/window_clock.h"
#include "commands/session.h"
#include "controls/form.h"

class QCheckBox;
class QFileDialog;
class QComboBox;
class QGroupBox;
class QListWidget;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTreeWidget;

namespace morvale {

class StreamCheckBox;

// The title of the program's own boxes (errors): short, so a narrow box shows it whole.
inline constexpr char kDialogTitle[] = "Morvale";
inline constexpr char kWindowCaption[] = "Morvale 0.617";

// The main window. It owns every control and implements Form over them, so the commands
// (src/commands) drive it exactly as they drive morvale-cli. The controls are public, as
// on the designed form; each carries its member name as objectName.
class TfMain : public QWidget, public Form {
    Q_OBJECT

  public:
    explicit TfMain(Session& session, QWidget* parent = nullptr);
    ~TfMain() override;

    // Controls outside the pages.
    QLineEdit* eEVOfile;
    QPushButton* bbEVO;
    QPushButton* bCheck;
    QLineEdit* eXPLfile;
    QPushButton* bbXPL;
    QPushButton* bReadXPL;
    QTabWidget* PageControl;
    QPushButton* bDemux;
    QPushButton* bRebuild;
    // "Make MKV": hands the ticked streams and the playlist to mkvmerge. Enabled with Demux.
    QPushButton* bMakeMkv;
    QLabel* imLogo;
    QPushButton* bCancel;
    QStatusBar* StatusBar;
    QProgressBar* pbProgress;  // in the status bar, between the state and the progress text
    // "Status" page.
    QWidget* tsStatus;
    QPlainTextEdit* mMessage;
    QPushButton* bClear;
    QPushButton* bShowFiles;  // opens the output folder once a run has written files
    // Stream pages.
    QWidget* tsVideo;
    QWidget* tsAudio;
    QWidget* tsSubpicture;
    QCheckBox *cbVideo0, *cbVideo1, *cbVideo2, *cbVideo3, *cbVideo4, *cbVideo5, *cbVideo6,
        *cbVideo7;
    QCheckBox *cbAudio00, *cbAudio01, *cbAudio02, *cbAudio03, *cbAudio04, *cbAudio05, *cbAudio06,
        *cbAudio07, *cbAudio08, *cbAudio09, *cbAudio10, *cbAudio11, *cbAudio12, *cbAudio13,
        *cbAudio14, *cbAudio15;
    QCheckBox *cbSub00, *cbSub01, *cbSub02, *cbSub03, *cbSub04, *cbSub05, *cbSub06, *cbSub07,
        *cbSub08, *cbSub09, *cbSub10, *cbSub11, *cbSub12, *cbSub13, *cbSub14, *cbSub15;
    // "XPL" page.
    QWidget* tsXPL;
    QSplitter* splXPL;
    QListWidget* lbTitles;
    QTreeWidget* tvXPL;
    QPlainTextEdit* mXPL;
    // "Options" page.
    QWidget* tsOption;
    QGroupBox* gbFile;
    QLabel* lVideoExt;
    QLineEdit* eVideoExt;
    QLineEdit* eAudioExt;
    QLineEdit* eSubExt;
    QLabel* lWorkdir;
    QLineEdit* eWorkdir;
    QPushButton* bbWorkdir;
    QCheckBox* cbContinue;
    QCheckBox* cbFastCheck;
    QCheckBox* cbCountFr;
    QCheckBox* cbDetails;
    QLabel* lSubFormat;
    QComboBox* cbSubFormat;  // "Subpicture format": each item's data is the format's name
    QPushButton* bAbout;
    // File dialogs.
    QFileDialog* odEVOfile;
    QFileDialog* odXPL;
    QFileDialog* odWorkdir;

    Session& session() { return session_; }

    // Window events.
    void FormShow();
    void FormActivate();
    void FormResize();
    void FormClose();

    // Source selection.
    void EVOadj();
    void XPLadj();
    void bbEVOClick();
    void bbXPLClick();
    // Files dropped on the window; the first path counts. A new source takes the focus to
    // "Read EVO".
    void WMDropFiles(const QStringList& paths);
    // A path typed or pasted into one of the two path edits, confirmed with Enter: chosen
    // as a drop of it would be. Anything else than an EVO, VOB or XPL file stays in the
    // edit, with a word on why, until the user fixes it or leaves the edit.
    void takeTypedPath(QLineEdit* pathEdit);

    // Stream boxes.
    void Resetcbs();
    void cbVideoClick();

    // Settings store.
    void RegRead();
    void RegWrite();

    void bClearClick();
    void bbWorkdirClick();
    void bShowFilesClick();
    void bAboutClick();

    // Commands. Each runs a command of src/commands through runCommand; Cancel runs inside
    // a running command's event pump and so goes straight to its handler.
    void bCheckClick();
    void bDemuxClick();
    void bRebuildClick();
    void bMakeMkvClick();
    void bReadXPLClick();
    void bCancelClick();

    // Runs a command of src/commands on this window. A close asked for during the run is
    // carried out once the outermost command has returned. A button handler is one line:
    //   void bDemuxClick() { runCommand(morvale::bDemuxClick); }
    // connected to its button in wireControls().
    void runCommand(const std::function<void(Session&, Form&)>& command);
    // The same for a command that writes into the output folder: "Show files" opens that
    // folder afterwards.
    void runWritingCommand(const std::function<void(Session&, Form&)>& command);
    // Puts a further command button into the command row, after "Rebuild".
    void addCommandButton(QPushButton* button);

    // Form.
    using QWidget::isEnabled;
    using QWidget::repaint;
    using QWidget::setEnabled;
    bool isEnabled(Button button) const override;
    void setEnabled(Button button, bool enabled) override;
    bool isTicked(Option option) const override;
    SubpictureFormat subpictureFormat() const override;
    std::string text(Edit edit) const override;
    void setText(Edit edit, const std::string& text) override;
    bool boxEnabled(StreamBox box) const override;
    void setBoxEnabled(StreamBox box, bool enabled) override;
    bool boxTicked(StreamBox box) const override;
    void setBoxTicked(StreamBox box, bool ticked) override;
    std::string boxCaption(StreamBox box) const override;
    void setBoxCaption(StreamBox box, const std::string& caption) override;
    std::string boxHint(StreamBox box) const;
    void setBoxHint(StreamBox box, const std::string& hint) override;
    void log(std::string_view line) override;
    void slog(std::string_view text, Panel panel) override;
    void showProgress(ProgressAmount amount) override;
    void showPage(Page page) override;
    void setXplOutline(const std::vector<std::string>& lines) override;
    void setXplOutlineVisible(bool visible) override;
    void setXplTree(const std::vector<XplTreeNode>& topNodes) override;
    void setDiscTitles(const std::vector<std::string>& lines, std::optional<size_t> chosen) override;
    std::optional<size_t> chosenDiscTitle() const override;
    void setLocked(bool locked) override;
    void pumpEvents() override;
    void repaint() override;
    bool askYesNo(std::string_view title, std::string_view text) override;
    void showError(std::string_view text) override;
    // The wall clock, standing still while a question waits for the user's answer; times and
    // rates in the format of the default locale.
    Clock& clock() override;

    // What the settings store reads and writes besides the controls.
    int treeWidth() const;
    void setTreeWidth(int width);
    // Outer (frame) placement as stored; the minimum size applies. Until the window
    // manager has framed the window its frame is unknown: the placement is applied again,
    // exactly, once it is.
    void setOuterWidth(int width);
    void setOuterHeight(int height);
    void setOuterTop(int top);
    void setOuterLeft(int left);

    // Observable state of the log and the status bar.
    QStringList logLines() const;
    QString panelText(int panel) const;
    int panelWidth(int panel) const;
    QCheckBox* box(StreamBox streamBox) const;
    // The folder "Show files" opens: where the last writing run put its files.
    QString outputFolder() const;
    bool locked() const { return locked_; }
    bool closePending() const { return closePending_; }

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createStatusBar();
    void createStatusPage();
    void createStreamPages();
    void createXplPage();
    void createOptionsPage();
    void createSubpictureFormatChoice();
    void layOutOptionsPage();
    void createDialogs();
    void layOutWindow();
    void setFocusOrder();
    void wireControls();
    QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                            const QString& hint, QSize designSize = QSize(60, 25));
    QPushButton* makeBrowseButton(QWidget* parent, const char* name, const QString& hint);
    QLineEdit* makePathEdit(const char* name, const QString& hint, const QString& placeholder);
    void showLogo();
    int rowSpacing(const QCheckBox* row) const;  // rows of check boxes 22 apart
    void openAtFirstStartSize();
    void prepareSourceDialog();
    void updateMinimumSize();
    void applyRequestedPlacement();
    void widenTreeToItsItems();
    void lockPages(bool locked);
    bool pathEditEvent(QLineEdit* pathEdit, QEvent* event);
    QString chosenPath(const QLineEdit* pathEdit) const;
    void applyEnabled(Button button);
    void applyBoxEnabled(int number);
    QPushButton* button(Button button) const;
    QLineEdit* edit(Edit edit) const;
    QCheckBox* option(Option option) const;
    int scaled(int designPixels) const;
    bool askToStopRun();

    Session& session_;
    double scale_ = 1.0;
    std::vector<QWidget*> placedWidgets_;  // in the order of the placement table
    std::array<QPushButton*, kButtonCount> buttons_{};
    std::array<bool, kButtonCount> buttonEnabled_{};
    std::array<StreamCheckBox*, kStreamBoxCount> boxes_{};
    std::array<bool, kStreamBoxCount> boxEnabled_{};
    std::array<std::string, kStreamBoxCount> boxHints_;
    std::array<QLabel*, 2> statusPanels_{};
    std::array<int, 2> panelWidths_{};
    int logLineCount_ = 0;
    int treeWidth_ = 96;
    bool treeLaidOut_ = false;
    bool treeToWiden_ = false;  // filled before the page had its size
    QSize frameExtra_;
    // The stored outer placement, applied again once the frame is known.
    struct Placement {
        std::optional<int> width, height, top, left;
    };
    Placement requested_;
    QHBoxLayout* commandRow_ = nullptr;
    QString outputFolder_;
    WindowClock clock_;
    std::array<QString, 2> chosenPaths_;  // what eEVOfile and eXPLfile hold when not typed in
    bool activated_ = false;
    bool locked_ = false;
    bool closePending_ = false;
};

}  // namespace morvale
