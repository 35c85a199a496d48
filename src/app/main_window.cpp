// SPDX-License-Identifier: MIT
#include "app/main_window.h"

#include <algorithm>
#include <limits>

#include <QApplication>
#include <QListWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>
#include <QUrl>

#include "app/about_box.h"
#include "app/fitting_widgets.h"
#include "app/folder_launcher.h"
#include "app/jpeg_image.h"
#include "app/settings_store.h"
#include "app/typed_path.h"
#include "platform/paths.h"
#include "controls/command_buttons.h"
#include "controls/source_fields.h"
#include "controls/stream_boxes.h"

namespace morvale {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TfMain::TfMain(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    createControls();
    // Drops are the window's alone (registered in FormShow): no edit or memo takes a path.
    for (QWidget* child : findChildren<QWidget*>())
        child->setAcceptDrops(false);
    wireControls();
    openAtFirstStartSize();
    FormResize();
}

TfMain::~TfMain() = default;

void TfMain::wireControls() {
    connect(bbEVO, &QPushButton::clicked, this, &TfMain::bbEVOClick);
    connect(bbXPL, &QPushButton::clicked, this, &TfMain::bbXPLClick);
    connect(bClear, &QPushButton::clicked, this, &TfMain::bClearClick);
    connect(bCheck, &QPushButton::clicked, this, &TfMain::bCheckClick);
    connect(bDemux, &QPushButton::clicked, this, &TfMain::bDemuxClick);
    connect(bRebuild, &QPushButton::clicked, this, &TfMain::bRebuildClick);
    connect(bMakeMkv, &QPushButton::clicked, this, &TfMain::bMakeMkvClick);
    connect(bReadXPL, &QPushButton::clicked, this, &TfMain::bReadXPLClick);
    connect(bCancel, &QPushButton::clicked, this, &TfMain::bCancelClick);
    connect(bbWorkdir, &QPushButton::clicked, this, &TfMain::bbWorkdirClick);
    connect(bShowFiles, &QPushButton::clicked, this, &TfMain::bShowFilesClick);
    connect(bAbout, &QPushButton::clicked, this, &TfMain::bAboutClick);
    // Every change but the user's typing is a choice of file.
    for (int n = 0; n < 2; ++n) {
        QLineEdit* pathEdit = n == 0 ? eEVOfile : eXPLfile;
        connect(pathEdit, &QLineEdit::textChanged, this, [this, n, pathEdit](const QString& text) {
            if (!pathEdit->isModified()) chosenPaths_[n] = text;
        });
    }
}

// Window events.

void TfMain::FormShow() {
    setAcceptDrops(true);
    activateWindow();  // the first activation reads the settings
}

void TfMain::FormActivate() {
    // Only the first activation: focus coming back from a dialog must not undo the user's
    // changes since start nor empty the listed stream boxes.
    if (activated_) return;
    activated_ = true;
    RegRead();
    Resetcbs();
}

void TfMain::FormClose() {
    RegWrite();
}

bool TfMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        updateMinimumSize();  // the window manager has framed the window by now
        FormActivate();
    }
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal) showLogo();  // it may scale otherwise
    return handled;
}

void TfMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateMinimumSize();
    FormShow();
}

void TfMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateMinimumSize();
    FormResize();
}

void TfMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    updateMinimumSize();  // the frame is known once the window manager has placed it
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (session_.running) {
        // Closing stops the run like Cancel; the window goes once the command has returned.
        event->ignore();
        if (closePending_ || !askToStopRun()) return;
        session_.control.requestStopByUser();
        FormClose();
        closePending_ = true;
        return;
    }
    if (!closePending_) FormClose();  // a pending close has stored the settings already
    event->accept();
}

bool TfMain::askToStopRun() {
    return stopConfirmed(session_, *this);
}

void TfMain::runCommand(const std::function<void(Session&, Form&)>& command) {
    command(session_, *this);
    if (closePending_ && !session_.running) close();
}

void TfMain::runWritingCommand(const std::function<void(Session&, Form&)>& command) {
    if (session_.running) return;
    QString folder = eWorkdir->text();  // as the run reads it: empty is the current folder
    folder = QDir::current().absoluteFilePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    runCommand(command);
    if (!QFileInfo(folder).isDir()) return;
    outputFolder_ = QDir::cleanPath(folder);
    bShowFiles->show();
}

QString TfMain::outputFolder() const {
    return outputFolder_;
}

// Without a file manager to show them, the log says where the files are.
void TfMain::bShowFilesClick() {
    QPointer<TfMain> window(this);
    const QString folder = QDir::toNativeSeparators(outputFolder_);
    openFolder(outputFolder_, [window, folder](const QString& why) {
        if (window.isNull()) return;
        window->log(QStringLiteral("No file manager opened the output folder (%1): the files are in %2")
                        .arg(why, folder)
                        .toStdString());
    });
}

void TfMain::bAboutClick() {
    showAboutBox(this);
}

void TfMain::bbWorkdirClick() {
    const QString current = eWorkdir->text();
    odWorkdir->setDirectory(QDir::current().absoluteFilePath(current));
    if (odWorkdir->exec() != QDialog::Accepted || odWorkdir->selectedFiles().isEmpty()) return;
    eWorkdir->setText(QDir::toNativeSeparators(odWorkdir->selectedFiles().constFirst()));
}

// Commands.

void TfMain::bCheckClick() {
    runCommand(morvale::bCheckClick);
}

void TfMain::bDemuxClick() {
    runWritingCommand(morvale::bDemuxClick);
}

void TfMain::bRebuildClick() {
    runWritingCommand(morvale::bRebuildClick);
}

// The Matroska file goes into the output folder; the playlist is the playlist field's.
void TfMain::bMakeMkvClick() {
    runWritingCommand(
        [](Session& session, Form& form) { morvale::bMakeMkvClick(session, form, {}); });
}

void TfMain::bReadXPLClick() {
    runCommand(morvale::bReadXPLClick);
}

void TfMain::bCancelClick() {
    morvale::bCancelClick(session_, *this);
}

void TfMain::keyPressEvent(QKeyEvent* event) {
    // Enter that no focused button took presses the default button, "Read EVO"; in a field
    // of the Options page it confirms that field only.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const bool inOptionField = tsOption->isAncestorOf(focusWidget()) &&
                                   qobject_cast<QLineEdit*>(focusWidget()) != nullptr;
        if (!inOptionField && bCheck->isEnabled()) bCheck->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!locked_ && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TfMain::dragMoveEvent(QDragMoveEvent* event) {
    if (!locked_ && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TfMain::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths << url.toLocalFile();
    WMDropFiles(paths);
    event->acceptProposedAction();
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
    // A hidden page keeps the size it had when it was last shown; its first showing lays it
    // out at the page control's size at once, so the tree's width is set in the real room.
    if (watched == splXPL && event->type() == QEvent::Show && !treeLaidOut_) {
        if (QWidget* stack = tsXPL->parentWidget()) tsXPL->setGeometry(stack->rect());
        tsXPL->layout()->activate();
        treeLaidOut_ = true;
        setTreeWidth(treeWidth_);
        if (treeToWiden_) widenTreeToItsItems();
    }
    // The logo keeps out of the command buttons' way whatever changes the row.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && commandRow_ != nullptr && commandRow_->indexOf(widget) >= 0) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
            type == QEvent::Hide) {
            FormResize();
        }
    }
    if (watched == eEVOfile || watched == eXPLfile) {
        if (pathEditEvent(static_cast<QLineEdit*>(watched), event)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Enter takes what was typed (an untouched edit leaves Enter to the default button);
// Escape and leaving the edit undo the typing, so the edit shows the file the commands use.
bool TfMain::pathEditEvent(QLineEdit* pathEdit, QEvent* event) {
    if (event->type() == QEvent::KeyPress && pathEdit->isModified()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            takeTypedPath(pathEdit);
            return true;
        }
        if (key == Qt::Key_Escape) {
            pathEdit->setText(chosenPath(pathEdit));
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut && pathEdit->isModified()) {
        pathEdit->setText(chosenPath(pathEdit));
    }
    return false;
}

QString TfMain::chosenPath(const QLineEdit* pathEdit) const {
    return chosenPaths_[pathEdit == eEVOfile ? 0 : 1];
}

void TfMain::takeTypedPath(QLineEdit* pathEdit) {
    const QString path = pathFromTyping(pathEdit->text());
    if (dropKindOf(path.toStdString()) == DropKind::Ignored) {
        QToolTip::showText(pathEdit->mapToGlobal(QPoint(0, pathEdit->height())),
                           QStringLiteral("Only .EVO, .VOB and .XPL files can be chosen."),
                           pathEdit);
        WMDropFiles({path});  // the status line says so too; the typing stays to be mended
        return;
    }
    pathEdit->setText(chosenPath(pathEdit));  // the file goes to the edit of its kind
    WMDropFiles({path});
}

// Source selection.

void TfMain::EVOadj() {
    morvale::EVOadj(*this, session_.selection);
}

void TfMain::XPLadj() {
    morvale::XPLadj(*this, session_.selection);
}

void TfMain::bbEVOClick() {
    prepareSourceDialog();
    if (odEVOfile->exec() != QDialog::Accepted || odEVOfile->selectedFiles().isEmpty()) return;
    chooseSource(*this, session_, odEVOfile->selectedFiles().constFirst().toStdString());
    bCheck->setFocus();
}

// The dialog opens in the source's folder on the filter of the source's type, the source
// chosen; without a source on the filter of both types.
void TfMain::prepareSourceDialog() {
    odEVOfile->setDirectory(QString::fromStdString(session_.selection.evoFolder));
    const QString source = chosenPaths_[0];
    const QString type = QString::fromStdString(upperExtension(source.toStdString()));
    const QStringList filters = odEVOfile->nameFilters();  // both types first, each after
    QString filter = filters.constFirst();
    for (qsizetype n = 1; n < filters.size(); ++n) {
        if (!type.isEmpty() && filters[n].contains(QLatin1Char('*') + type)) filter = filters[n];
    }
    odEVOfile->selectNameFilter(filter);
    if (!source.isEmpty()) odEVOfile->selectFile(QFileInfo(source).fileName());
}

void TfMain::bbXPLClick() {
    odXPL->setDirectory(QString::fromStdString(session_.selection.xplFolder));
    if (!session_.selection.xplFileName.empty()) {
        odXPL->selectFile(QString::fromStdString(session_.selection.xplFileName));
    }
    if (odXPL->exec() != QDialog::Accepted || odXPL->selectedFiles().isEmpty()) return;
    eXPLfile->setText(odXPL->selectedFiles().constFirst());
    XPLadj();
}

void TfMain::WMDropFiles(const QStringList& paths) {
    if (locked_ || paths.isEmpty()) return;
    const DropKind kind = dropFile(*this, session_, paths.constFirst().toStdString());
    if (kind == DropKind::Source && bCheck->isEnabled()) bCheck->setFocus();
}

// Stream boxes.

void TfMain::Resetcbs() {
    morvale::Resetcbs(*this);
}

void TfMain::cbVideoClick() {
    morvale::cbVideoClick(*this);
    keepWritingOffUntilRead(session_, *this);
}

// Settings.

void TfMain::RegRead() {
    if (std::optional<QString> error = readSettings(*this)) showError(error->toStdString());
}

void TfMain::RegWrite() {
    writeSettings(*this);
}

// Placement. Before the window manager has framed the window, the frame counts as
// nothing; the requested outer placement is applied again when the frame becomes known.

void TfMain::setOuterWidth(int width) {
    requested_.width = width;
    applyRequestedPlacement();
}

void TfMain::setOuterHeight(int height) {
    requested_.height = height;
    applyRequestedPlacement();
}

void TfMain::setOuterTop(int top) {
    requested_.top = top;
    applyRequestedPlacement();
}

void TfMain::setOuterLeft(int left) {
    requested_.left = left;
    applyRequestedPlacement();
}

void TfMain::applyRequestedPlacement() {
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
    const QRect frame = frameGeometry();
    const int width = requested_.width.value_or(frame.width()) - frameExtra_.width();
    const int height = requested_.height.value_or(frame.height()) - frameExtra_.height();
    if (requested_.width || requested_.height) resize(width, height);
    // QWidget::move places a window's frame.
    if (requested_.top || requested_.left) {
        move(requested_.left.value_or(frame.x()), requested_.top.value_or(frame.y()));
    }
}

void TfMain::showLogo() {
    imLogo->setPixmap(logoPixmap(imLogo->size(), devicePixelRatioF()));
}

// Message log and status bar.

void TfMain::log(std::string_view line) {
    QTextCursor cursor(mMessage->document());
    cursor.movePosition(QTextCursor::End);
    // The document's first block exists from the start: the first line goes into it.
    if (logLineCount_ > 0) cursor.insertBlock();
    cursor.insertText(fromUtf8(line));
    ++logLineCount_;
    cursor.movePosition(QTextCursor::StartOfBlock);
    mMessage->setTextCursor(cursor);
    mMessage->ensureCursorVisible();
    mMessage->verticalScrollBar()->setValue(mMessage->verticalScrollBar()->maximum());
}

void TfMain::slog(std::string_view text, Panel panel) {
    const int index = static_cast<int>(panel);
    const QString shown = QLatin1Char(' ') + fromUtf8(text);
    QLabel* label = statusPanels_[index];
    label->setText(shown);
    panelWidths_[index] = label->fontMetrics().horizontalAdvance(shown + QLatin1Char('a'));
    if (index == 0) label->setFixedWidth(panelWidths_[index]);  // the last panel takes the rest
    if (index == 1) {
        StatusBar->setToolTip(fromUtf8(text));
    }
    StatusBar->repaint();
}

// The bar beside the progress text, while a command runs; it goes when the run ends.
void TfMain::showProgress(ProgressAmount amount) {
    if (!locked_ || amount.total <= 0) return;
    constexpr int64_t kLargest = std::numeric_limits<int>::max();
    const auto total = static_cast<int>(std::min(amount.total, kLargest));
    pbProgress->show();
    pbProgress->setRange(0, total);
    pbProgress->setValue(static_cast<int>(std::clamp<int64_t>(amount.done, 0, total)));
}

void TfMain::bClearClick() {
    mMessage->clear();
    logLineCount_ = 0;
}

QStringList TfMain::logLines() const {
    if (logLineCount_ == 0) return {};
    return mMessage->toPlainText().split(QLatin1Char('\n'));
}

QString TfMain::panelText(int panel) const {
    return statusPanels_[panel == 0 ? 0 : 1]->text();
}

int TfMain::panelWidth(int panel) const {
    return panelWidths_[panel == 0 ? 0 : 1];
}

// Form: buttons, options, edits.

bool TfMain::isEnabled(Button which) const {
    return buttonEnabled_[static_cast<int>(which)];
}

void TfMain::setEnabled(Button which, bool enabled) {
    buttonEnabled_[static_cast<int>(which)] = enabled;
    applyEnabled(which);
}

void TfMain::applyEnabled(Button which) {
    const bool lockedOut = locked_ && which != Button::Cancel;
    button(which)->setEnabled(buttonEnabled_[static_cast<int>(which)] && !lockedOut);
    if (which == Button::Demux) bMakeMkv->setEnabled(button(which)->isEnabled());
}

bool TfMain::isTicked(Option which) const {
    return option(which)->isChecked();
}

SubpictureFormat TfMain::subpictureFormat() const {
    return subpictureFormatNamed(cbSubFormat->currentData().toString().toStdString())
        .value_or(SubpictureFormat::Records);
}

std::string TfMain::text(Edit which) const {
    // A path edit holds the chosen file; what is being typed there counts once taken.
    if (which == Edit::EvoFile) return chosenPaths_[0].toStdString();
    if (which == Edit::XplFile) return chosenPaths_[1].toStdString();
    return edit(which)->text().toStdString();
}

void TfMain::setText(Edit which, const std::string& text) {
    edit(which)->setText(QString::fromStdString(text));
}

// Form: stream boxes. A caption is shown as it is: an ampersand is no mnemonic.

bool TfMain::boxEnabled(StreamBox which) const {
    return boxEnabled_[boxNumber(which)];
}

void TfMain::setBoxEnabled(StreamBox which, bool enabled) {
    boxEnabled_[boxNumber(which)] = enabled;
    applyBoxEnabled(boxNumber(which));
}

void TfMain::applyBoxEnabled(int number) {
    boxes_[number]->setEnabled(boxEnabled_[number] && !locked_);
}

bool TfMain::boxTicked(StreamBox which) const {
    return box(which)->isChecked();
}

void TfMain::setBoxTicked(StreamBox which, bool ticked) {
    box(which)->setChecked(ticked);
}

std::string TfMain::boxCaption(StreamBox which) const {
    return boxes_[boxNumber(which)]->caption().toStdString();
}

void TfMain::setBoxCaption(StreamBox which, const std::string& caption) {
    boxes_[boxNumber(which)]->setCaption(QString::fromStdString(caption));
}

std::string TfMain::boxHint(StreamBox which) const {
    return boxHints_[boxNumber(which)];
}

void TfMain::setBoxHint(StreamBox which, const std::string& hint) {
    boxHints_[boxNumber(which)] = hint;
    boxes_[boxNumber(which)]->setHint(QString::fromStdString(hint).section(QLatin1Char('|'), 0, 0));
}

// Form: pages.

void TfMain::showPage(Page page) {
    const std::array<QWidget*, 6> pages = {tsStatus,     tsVideo, tsAudio,
                                           tsSubpicture, tsXPL,   tsOption};
    PageControl->setCurrentWidget(pages[static_cast<size_t>(page)]);
}

void TfMain::setXplOutline(const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    mXPL->setPlainText(text.join(QLatin1Char('\n')));
}

void TfMain::setDiscTitles(const std::vector<std::string>& lines, std::optional<size_t> chosen) {
    lbTitles->clear();
    for (const std::string& line : lines)
        lbTitles->addItem(QString::fromStdString(line));
    lbTitles->setVisible(!lines.empty());
    if (chosen && *chosen < lines.size()) lbTitles->setCurrentRow(static_cast<int>(*chosen));
}

std::optional<size_t> TfMain::chosenDiscTitle() const {
    const QList<QListWidgetItem*> chosen = lbTitles->selectedItems();
    if (chosen.isEmpty()) return std::nullopt;
    return static_cast<size_t>(lbTitles->row(chosen.front()));
}

void TfMain::setXplOutlineVisible(bool visible) {
    mXPL->setVisible(visible);
}

// Form: running commands.

void TfMain::setLocked(bool locked) {
    locked_ = locked;
    bbEVO->setEnabled(!locked);
    bbXPL->setEnabled(!locked);
    for (int n = 0; n < kButtonCount; ++n)
        applyEnabled(static_cast<Button>(n));
    for (int n = 0; n < kStreamBoxCount; ++n)
        applyBoxEnabled(n);
    lockPages(locked);
    eEVOfile->setReadOnly(locked);  // as drops, typed paths wait for the run's end
    eXPLfile->setReadOnly(locked);
    pbProgress->hide();
    pbProgress->reset();
}

// The options and the selection hold for the whole run: their pages can be looked at but
// not changed.
void TfMain::lockPages(bool locked) {
    for (QWidget* page : {tsVideo, tsAudio, tsSubpicture, tsOption})
        page->setEnabled(!locked);
}

void TfMain::pumpEvents() {
    QCoreApplication::processEvents();
}

void TfMain::repaint() {
    QWidget::repaint();
}

bool TfMain::askYesNo(std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::Question, fromUtf8(title), fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    const WindowClock::Stop waiting(clock_);  // the run does not go on while the user thinks
    return box.exec() == QMessageBox::Yes;
}

void TfMain::showError(std::string_view text) {
    QMessageBox::critical(this, QLatin1String(kDialogTitle), fromUtf8(text));
}

Clock& TfMain::clock() {
    return clock_;
}

}  // namespace morvale
