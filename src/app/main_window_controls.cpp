// SPDX-License-Identifier: MIT
// The main window's controls: their creation in the designed state and the layouts that
// place them. Sizes are the design's, in pixels at 96 dpi; wherever a caption needs more
// room in the font it is drawn with, the layouts give it that room.

#include <cmath>

#include <QBoxLayout>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/fitting_widgets.h"
#include "app/jpeg_image.h"
#include "app/main_window.h"
#include "controls/form_design.h"

namespace morvale {

namespace {

// The form is designed at 96 dpi with a client area of this size.
constexpr int kDesignDpi = 96;
constexpr QSize kDesignClient(362, 346);
constexpr QSize kMinimumOuter(370, 380);
// A first start (no stored placement) opens this many times the design's size, within the
// screen: every page shows whole, the playlist page's tree and text side by side.
constexpr int kFirstStartScale = 2;
constexpr int kFontPixels = 11;  // 8 point at 96 dpi

// Around and between the controls outside the pages.
constexpr QMargins kWindowMargins(8, 7, 8, 6);
constexpr int kSpacing = 6;
constexpr QSize kButtonSize(60, 25);
constexpr QSize kBrowseSize(25, 25);
constexpr QSize kClearSize(36, 18);
constexpr QSize kLogoSize(125, 31);
constexpr int kLogoLeft = 153;
constexpr int kLogoCentring = 432;  // from this outer width on the logo is centred
constexpr int kLogoHalf = 63;
constexpr int kLogoBelowButtons = 4;

// The "Status" page: a strip above the log holds "Show files" and "Clear".
constexpr QMargins kStatusStripMargins(4, 4, 4, 5);

// Stream boxes: the design's rows are 22 pixels apart, boxes 17 high, columns 16 apart.
// A font that makes the boxes higher keeps the rows 22 apart while it can.
constexpr QMargins kBoxMargins(9, 9, 9, 9);
constexpr int kBoxHeight = 17;
constexpr int kBoxRowPitch = 22;
constexpr int kMinimumRowSpacing = 2;
constexpr int kBoxColumnSpacing = 16;
constexpr int kBoxesPerColumn = 8;

// The "Options" page.
constexpr QMargins kOptionMargins(3, 0, 3, 3);
constexpr QMargins kFileGroupMargins(8, 12, 12, 9);
constexpr int kFileGroupRowSpacing = 8;
constexpr int kExtensionWidth = 38;
constexpr int kOptionsBelowGroup = 8;

// The status bar's progress bar, between the state and the progress text.
constexpr int kProgressWidth = 110;
constexpr int kProgressMinimumWidth = 40;

// The 40 stream boxes in the order cbVideo0..7, cbAudio00..15, cbSub00..15.
constexpr std::array<QCheckBox * TfMain::*, kStreamBoxCount> kBoxMembers = {
    &TfMain::cbVideo0,  &TfMain::cbVideo1,  &TfMain::cbVideo2,  &TfMain::cbVideo3,
    &TfMain::cbVideo4,  &TfMain::cbVideo5,  &TfMain::cbVideo6,  &TfMain::cbVideo7,
    &TfMain::cbAudio00, &TfMain::cbAudio01, &TfMain::cbAudio02, &TfMain::cbAudio03,
    &TfMain::cbAudio04, &TfMain::cbAudio05, &TfMain::cbAudio06, &TfMain::cbAudio07,
    &TfMain::cbAudio08, &TfMain::cbAudio09, &TfMain::cbAudio10, &TfMain::cbAudio11,
    &TfMain::cbAudio12, &TfMain::cbAudio13, &TfMain::cbAudio14, &TfMain::cbAudio15,
    &TfMain::cbSub00,   &TfMain::cbSub01,   &TfMain::cbSub02,   &TfMain::cbSub03,
    &TfMain::cbSub04,   &TfMain::cbSub05,   &TfMain::cbSub06,   &TfMain::cbSub07,
    &TfMain::cbSub08,   &TfMain::cbSub09,   &TfMain::cbSub10,   &TfMain::cbSub11,
    &TfMain::cbSub12,   &TfMain::cbSub13,   &TfMain::cbSub14,   &TfMain::cbSub15,
};

// The window's side of the stream pages (their captions and hints are the design's).
struct StreamPage {
    const char* pageName;
    const char* tab;
    const char* boxPrefix;
    bool twoDigits;
};
constexpr StreamPage kStreamPages[] = {
    {"tsVideo", "Video", "cbVideo", false},
    {"tsAudio", "Audio", "cbAudio", true},
    {"tsSubpicture", "Subpicture", "cbSub", true},
};

// A hint shows only its part before a vertical bar as tooltip.
void setHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
}

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QTreeWidgetItem* treeItem(const XplTreeNode& node) {
    auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(node.text)));
    for (const XplTreeNode& child : node.children)
        item->addChild(treeItem(child));
    return item;
}

QMargins scaledMargins(const QMargins& margins, double scale) {
    auto s = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
    return {s(margins.left()), s(margins.top()), s(margins.right()), s(margins.bottom())};
}

}  // namespace

int TfMain::scaled(int designPixels) const {
    return static_cast<int>(std::lround(designPixels * scale_));
}

QPushButton* TfMain::makeButton(QWidget* parent, const char* name, const QString& caption,
                                const QString& hint, QSize designSize) {
    auto* button = named(new FittingButton(caption, designSize * scale_, parent), name);
    // Enter presses the focused button; elsewhere it presses the default one.
    button->setAutoDefault(true);
    if (!hint.isEmpty()) setHint(button, hint);
    return button;
}

QPushButton* TfMain::makeBrowseButton(QWidget* parent, const char* name, const QString& hint) {
    QPushButton* button = makeButton(parent, name, QString(), hint, kBrowseSize);
    // Qt derives the greyed image from the normal one.
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    return button;
}

QLineEdit* TfMain::makePathEdit(const char* name, const QString& hint, const QString& placeholder) {
    auto* edit = named(new QLineEdit(this), name);
    edit->setFocusPolicy(Qt::ClickFocus);  // Tab passes over it
    edit->setPlaceholderText(placeholder);
    setHint(edit, hint);
    edit->installEventFilter(this);  // Enter takes a typed path; leaving it undoes the typing
    return edit;
}

void TfMain::createControls() {
    if (QScreen* screen = this->screen()) scale_ = screen->logicalDotsPerInch() / kDesignDpi;
    if (scale_ <= 0) scale_ = 1.0;
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QLatin1String(kWindowCaption));
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(scaled(kFontPixels));
    setFont(font);

    eEVOfile = makePathEdit(
        "eEVOfile", QStringLiteral("Drop here the source EVO file|You cannot write here directly"),
        QStringLiteral("Browse or drop the source EVO or VOB file"));
    bbEVO = makeBrowseButton(this, "bbEVO", QStringLiteral("Browse an EVO file"));
    bCheck = makeButton(this, "bCheck", QStringLiteral("Read EVO"),
                        QStringLiteral("Read the source EVO file to detect streams"));
    bCheck->setDefault(true);
    eXPLfile = makePathEdit("eXPLfile", QStringLiteral("Drop here the VPLST000.XPL"),
                            QStringLiteral("Browse or drop the disc's VPLST000.XPL"));
    bbXPL =
        makeBrowseButton(this, "bbXPL", QStringLiteral("Browse the HD DVD disc's VPLST000.XPL"));
    bReadXPL = makeButton(this, "bReadXPL", QStringLiteral("Read XPL"),
                          QStringLiteral("Read the XPL file to detect stream infos"));

    PageControl = named(new QTabWidget(this), "PageControl");
    createStatusPage();
    createStreamPages();
    createXplPage();
    createOptionsPage();
    PageControl->setCurrentWidget(tsStatus);

    bDemux = makeButton(this, "bDemux", QStringLiteral("Demux"),
                        QStringLiteral("Demux the source EVO to streams"));
    QFont bold = bDemux->font();
    bold.setBold(true);
    bDemux->setFont(bold);
    bRebuild = makeButton(this, "bRebuild", QStringLiteral("Rebuild"), QString());
    bMakeMkv = makeButton(this, "bMakeMkv", QStringLiteral("Make MKV"),
                          QStringLiteral("Hand the ticked streams, with the playlist's names, "
                                         "languages and chapters, to mkvmerge as one MKV"));

    imLogo = named(new QLabel(this), "imLogo");
    imLogo->setScaledContents(true);
    imLogo->setFixedSize(scaled(kLogoSize.width()), scaled(kLogoSize.height()));
    showLogo();
    setHint(imLogo, QStringLiteral("HD DVD logo :-)"));

    bCancel = makeButton(this, "bCancel", QStringLiteral("Cancel"),
                         QStringLiteral("You can stop the actual process"));

    createStatusBar();

    buttons_ = {bCheck, bReadXPL, bDemux, bRebuild, bCancel};
    for (int n = 0; n < kButtonCount; ++n)
        applyEnabled(static_cast<Button>(n));
    createDialogs();
    layOutWindow();
    setFocusOrder();
}

void TfMain::createStatusBar() {
    StatusBar = named(new QStatusBar(this), "StatusBar");
    for (int panel = 0; panel < 2; ++panel) {
        statusPanels_[panel] =
            named(new QLabel(StatusBar), panel == 0 ? "StatusPanel0" : "StatusPanel1");
    }
    pbProgress = named(new QProgressBar(StatusBar), "pbProgress");
    pbProgress->setMaximumWidth(scaled(kProgressWidth));
    pbProgress->setMinimumWidth(scaled(kProgressMinimumWidth));
    pbProgress->setMaximumHeight(statusPanels_[0]->sizeHint().height());
    pbProgress->hide();
    StatusBar->addWidget(statusPanels_[0]);
    StatusBar->addWidget(pbProgress);
    StatusBar->addWidget(statusPanels_[1], 1);  // the last panel takes the rest

    const QString progressText = QLatin1Char(' ') + QLatin1String(kDesignProgressText);
    statusPanels_[0]->setText(QLatin1Char(' ') + QLatin1String(kDesignStateText));
    statusPanels_[0]->setFixedWidth(scaled(40));
    panelWidths_[0] = scaled(40);
    statusPanels_[1]->setText(progressText);
    statusPanels_[1]->setMinimumWidth(scaled(50));
    panelWidths_[1] = scaled(50);
    StatusBar->setToolTip(progressText);
}

void TfMain::createStatusPage() {
    tsStatus = named(new QWidget, "tsStatus");
    PageControl->addTab(tsStatus, QStringLiteral("Status"));
    mMessage = named(new QPlainTextEdit(tsStatus), "mMessage");
    mMessage->setReadOnly(true);
    mMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    mMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mMessage->setTabChangesFocus(true);
    bClear = makeButton(tsStatus, "bClear", QStringLiteral("Clear"), QString(), kClearSize);
    bShowFiles = makeButton(tsStatus, "bShowFiles", QStringLiteral("Show files"),
                            QStringLiteral("Open the output folder"), kClearSize);
    bShowFiles->hide();  // until a run has written files

    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(scaledMargins(kStatusStripMargins, scale_));
    strip->setSpacing(scaled(kSpacing));
    strip->addStretch(1);
    strip->addWidget(bShowFiles);
    strip->addWidget(bClear);
    auto* page = new QVBoxLayout(tsStatus);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addLayout(strip);
    page->addWidget(mMessage, 1);
}

void TfMain::createStreamPages() {
    int number = 0;
    QWidget** sheets[] = {&tsVideo, &tsAudio, &tsSubpicture};
    for (size_t p = 0; p < std::size(kStreamPages); ++p) {
        const StreamPage& page = kStreamPages[p];
        const BoxPageDesign& design = kBoxPageDesigns[p];
        auto* sheet = named(new QWidget, page.pageName);
        *sheets[p] = sheet;
        PageControl->addTab(sheet, QLatin1String(page.tab));
        setHint(sheet, QLatin1String(design.hint));
        auto* grid = new QGridLayout(sheet);
        grid->setContentsMargins(scaledMargins(kBoxMargins, scale_));
        grid->setHorizontalSpacing(scaled(kBoxColumnSpacing));
        for (int index = 0; index < design.boxes; ++index, ++number) {
            const QString name = QLatin1String(page.boxPrefix) +
                                 QString::number(index).rightJustified(page.twoDigits ? 2 : 1, '0');
            auto* box = new StreamCheckBox(QLatin1String(design.designCaption), sheet);
            box->setObjectName(name);
            box->setMinimumHeight(scaled(kBoxHeight));
            // The columns share the page's width, each as wide as its longest caption when
            // there is room; a caption wider than the room left is elided.
            box->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
            grid->addWidget(box, index % kBoxesPerColumn, index / kBoxesPerColumn, Qt::AlignLeft);
            if (index >= boxedSlots(design.page)) box->hide();  // it can hold no stream
            if (design.boxesCarryHint && index > 0) {
                boxHints_[number] = design.hint;
                box->setHint(QLatin1String(design.hint));
            }
            this->*kBoxMembers[number] = box;
            boxes_[number] = box;
            applyBoxEnabled(number);
            // User clicks only: the commands' own tick changes go through
            // setBoxTickedAndNotify.
            connect(box, &QCheckBox::clicked, this, [this] { cbVideoClick(); });
        }
        grid->setVerticalSpacing(rowSpacing(boxes_[number - 1]));
        grid->setRowStretch(kBoxesPerColumn, 1);  // the boxes stay at the top
    }
}

void TfMain::createXplPage() {
    tsXPL = named(new QWidget, "tsXPL");
    PageControl->addTab(tsXPL, QStringLiteral("XPL"));
    auto* layout = new QVBoxLayout(tsXPL);
    layout->setContentsMargins(0, 0, 0, 0);
    // The disc's titles: the chosen one is what Make MKV makes.
    lbTitles = named(new QListWidget(tsXPL), "lbTitles");
    lbTitles->setSelectionMode(QAbstractItemView::SingleSelection);
    lbTitles->setMaximumHeight(scaled(64));
    lbTitles->hide();
    setHint(lbTitles, QStringLiteral("The disc's titles: Make MKV makes the chosen one"));
    layout->addWidget(lbTitles);
    splXPL = named(new QSplitter(Qt::Horizontal, tsXPL), "splXPL");
    layout->addWidget(splXPL, 1);
    splXPL->setChildrenCollapsible(false);
    splXPL->setHandleWidth(scaled(3));

    tvXPL = named(new QTreeWidget(splXPL), "tvXPL");
    tvXPL->setHeaderHidden(true);
    tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvXPL->setIndentation(scaled(19));
    tvXPL->setMinimumWidth(scaled(50));
    // An item wider than the tree scrolls rather than being cut.
    tvXPL->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvXPL->header()->setStretchLastSection(false);
    setHint(tvXPL, QStringLiteral("Infos from your XPL file"));
    for (const char* text : kDesignXplTree)
        tvXPL->addTopLevelItem(treeItem({text, {}}));

    mXPL = named(new QPlainTextEdit(splXPL), "mXPL");
    QFont courier;
    courier.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Courier"),
                         QStringLiteral("DejaVu Sans Mono")});
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(scaled(kFontPixels));
    mXPL->setFont(courier);
    mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
    mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mXPL->setTabChangesFocus(true);
    mXPL->setMinimumWidth(scaled(50));
    setHint(mXPL, QStringLiteral("This is your XPL file (part of it)"));

    // A wider window widens the tree too, a third of what it gains.
    splXPL->setStretchFactor(0, 1);
    splXPL->setStretchFactor(1, 2);
    splXPL->installEventFilter(this);  // its first showing applies the tree's width
}

void TfMain::createOptionsPage() {
    tsOption = named(new QWidget, "tsOption");
    PageControl->addTab(tsOption, QStringLiteral("Options"));
    gbFile = named(new QGroupBox(tsOption), "gbFile");
    lVideoExt = named(new QLabel(QStringLiteral("Extensions (video, audio, subtitle)"), gbFile),
                      "lVideoExt");
    const int extensionWidth =
        std::max(scaled(kExtensionWidth),
                 fontMetrics().averageCharWidth() * kExtensionMaxLength + scaled(8));
    auto makeExtension = [&](const char* name, BoxPage page) {
        auto* edit =
            named(new QLineEdit(QLatin1String(designOf(page).designExtension), gbFile), name);
        edit->setMaxLength(kExtensionMaxLength);
        edit->setFixedWidth(extensionWidth);
        return edit;
    };
    eVideoExt = makeExtension("eVideoExt", BoxPage::Video);
    eAudioExt = makeExtension("eAudioExt", BoxPage::Audio);
    eSubExt = makeExtension("eSubExt", BoxPage::Subpicture);
    setHint(eSubExt, QStringLiteral("This is real .sup format, don't change!"));
    lWorkdir = named(new QLabel(QStringLiteral("Output folder"), gbFile), "lWorkdir");
    eWorkdir = named(new QLineEdit(gbFile), "eWorkdir");
    setHint(eWorkdir, QStringLiteral("Destination directory for the demuxed streams"));
    bbWorkdir = makeBrowseButton(gbFile, "bbWorkdir", QStringLiteral("Browse the output folder"));
    bbWorkdir->setAutoDefault(false);  // Enter in the folder edit still presses Read EVO
    const int editHeight = eWorkdir->sizeHint().height();  // the button stands beside the edit
    bbWorkdir->setFixedSize(std::max(editHeight, scaled(kBrowseSize.width())), editHeight);

    auto makeOption = [&](const char* name, const char* caption, const char* hint) {
        auto* box = named(new QCheckBox(QLatin1String(caption), tsOption), name);
        box->setChecked(kDesignOptionTicked);
        setHint(box, QLatin1String(hint));
        return box;
    };
    cbContinue = makeOption(
        "cbContinue", "Continue with second EVO",
        "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO");
    cbFastCheck = makeOption("cbFastCheck", "Fast EVO checking",
                             "Read EVO checks only the first ~300 MB of the file");
    cbCountFr = makeOption("cbCountFr", "Count frames",
                           "Works only if the process hasn't cancelled by Fast EVO checking");
    cbDetails = makeOption("cbDetails", "Detailed info", "Detailed information about streams");
    createSubpictureFormatChoice();
    bAbout = makeButton(tsOption, "bAbout", QStringLiteral("About"),
                        QStringLiteral("Version and licences"));
    bAbout->setAutoDefault(false);
    layOutOptionsPage();
}

// The formats as the combo box shows them, in the order of kSubpictureFormatNames.
constexpr const char* kSubpictureFormatCaptions[] = {"Subpicture records", "PGS",
                                                     "VobSub (.idx, .sub)"};
static_assert(std::size(kSubpictureFormatCaptions) == std::size(kSubpictureFormatNames));

void TfMain::createSubpictureFormatChoice() {
    lSubFormat = named(new QLabel(QStringLiteral("Subpicture format"), tsOption), "lSubFormat");
    cbSubFormat = named(new QComboBox(tsOption), "cbSubFormat");
    for (size_t i = 0; i < std::size(kSubpictureFormatNames); ++i)
        cbSubFormat->addItem(QLatin1String(kSubpictureFormatCaptions[i]),
                             QLatin1String(kSubpictureFormatNames[i].name));
    lSubFormat->setBuddy(cbSubFormat);
    setHint(cbSubFormat, QStringLiteral("How Demux writes subpicture streams: as subpicture "
                                        "records, as PGS, or as VobSub (DVD subpictures)"));
}

void TfMain::layOutOptionsPage() {
    auto* extensions = new QHBoxLayout;
    extensions->setSpacing(scaled(kSpacing));
    extensions->addWidget(lVideoExt);
    extensions->addWidget(eVideoExt);
    extensions->addWidget(eAudioExt);
    extensions->addWidget(eSubExt);
    extensions->addStretch(1);
    auto* folder = new QHBoxLayout;
    folder->setSpacing(scaled(kSpacing) / 3);
    folder->addWidget(lWorkdir);
    folder->addWidget(eWorkdir, 1);
    folder->addWidget(bbWorkdir);
    auto* group = new QVBoxLayout(gbFile);
    group->setContentsMargins(scaledMargins(kFileGroupMargins, scale_));
    group->setSpacing(scaled(kFileGroupRowSpacing));
    group->addLayout(extensions);
    group->addLayout(folder);

    auto* options = new QVBoxLayout;
    options->setSpacing(rowSpacing(cbContinue));
    for (QCheckBox* box : {cbContinue, cbFastCheck, cbCountFr, cbDetails}) {
        box->setMinimumHeight(scaled(kBoxHeight));
        options->addWidget(box);
    }
    auto* subFormat = new QHBoxLayout;
    subFormat->setSpacing(scaled(kSpacing));
    subFormat->addWidget(lSubFormat);
    subFormat->addWidget(cbSubFormat);
    subFormat->addStretch(1);
    options->addLayout(subFormat);
    auto* below = new QHBoxLayout;
    below->addLayout(options);
    below->addStretch(1);
    below->addWidget(bAbout, 0, Qt::AlignBottom);

    auto* page = new QVBoxLayout(tsOption);
    page->setContentsMargins(scaledMargins(kOptionMargins, scale_));
    page->setSpacing(scaled(kOptionsBelowGroup));
    page->addWidget(gbFile);
    page->addLayout(below);
    page->addStretch(1);
}

void TfMain::createDialogs() {
    odEVOfile =
        named(new QFileDialog(this, QStringLiteral("Choose the EVO file to demux")), "odEVOfile");
    odEVOfile->setOption(QFileDialog::DontUseNativeDialog);
    odEVOfile->setAcceptMode(QFileDialog::AcceptOpen);
    odEVOfile->setFileMode(QFileDialog::ExistingFile);  // folder and file must exist
    odEVOfile->setOption(QFileDialog::DontResolveSymlinks);
    // Both types first, whatever the case of their extension; then each type; then anything.
    odEVOfile->setNameFilters({QStringLiteral("EVO and VOB files (*.evo *.EVO *.vob *.VOB)"),
                               QStringLiteral("EVOB files (HD DVD) (*.evo *.EVO)"),
                               QStringLiteral("VOB files (DVD) (*.vob *.VOB)"),
                               QStringLiteral("All files (*)")});
    odEVOfile->setDefaultSuffix(QStringLiteral("EVO"));
    odEVOfile->setSizeGripEnabled(true);

    // The system's default title; only files of the playlist's exact name are listed.
    odXPL = named(new QFileDialog(this), "odXPL");
    odXPL->setOption(QFileDialog::DontUseNativeDialog);
    odXPL->setAcceptMode(QFileDialog::AcceptOpen);
    odXPL->setFileMode(QFileDialog::AnyFile);
    odXPL->setNameFilters({QStringLiteral("XPL (VPLST000.XPL)")});
    odXPL->setDefaultSuffix(QStringLiteral("xpl"));
    odXPL->setSizeGripEnabled(true);

    odWorkdir =
        named(new QFileDialog(this, QStringLiteral("Choose the output folder")), "odWorkdir");
    odWorkdir->setOption(QFileDialog::DontUseNativeDialog);
    odWorkdir->setAcceptMode(QFileDialog::AcceptOpen);
    odWorkdir->setFileMode(QFileDialog::Directory);
    odWorkdir->setOption(QFileDialog::ShowDirsOnly);
    odWorkdir->setSizeGripEnabled(true);
}

// The window: the two path rows, the pages, the command row and the status bar. The logo
// is no part of the layouts: FormResize places it in the command row's free room.
void TfMain::layOutWindow() {
    auto* body = new QGridLayout;
    body->setContentsMargins(scaledMargins(kWindowMargins, scale_));
    body->setHorizontalSpacing(scaled(kSpacing));
    body->setVerticalSpacing(scaled(kSpacing));
    body->addWidget(eEVOfile, 0, 0);
    body->addWidget(bbEVO, 0, 1);
    body->addWidget(bCheck, 0, 2);
    body->addWidget(eXPLfile, 1, 0);
    body->addWidget(bbXPL, 1, 1);
    body->addWidget(bReadXPL, 1, 2);
    body->addWidget(PageControl, 2, 0, 1, 3);
    body->setColumnStretch(0, 1);
    body->setRowStretch(2, 1);

    commandRow_ = new QHBoxLayout;
    commandRow_->setSpacing(scaled(kSpacing));
    commandRow_->addWidget(bDemux);
    commandRow_->addWidget(bRebuild);
    commandRow_->addWidget(bMakeMkv);
    // Further command buttons go here, left of the logo's room (addCommandButton).
    commandRow_->addStretch(1);
    commandRow_->addWidget(bCancel);
    for (QWidget* button : {bDemux, bRebuild, bMakeMkv, bCancel})
        button->installEventFilter(this);
    body->addLayout(commandRow_, 3, 0, 1, 3);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->addLayout(body, 1);
    window->addWidget(StatusBar);
}

void TfMain::addCommandButton(QPushButton* button) {
    commandRow_->insertWidget(commandRow_->indexOf(bCancel) - 1, button);
    button->installEventFilter(this);
}

void TfMain::setFocusOrder() {
    QWidget* const order[] = {bbEVO,    bCheck,   bbXPL,       bReadXPL, bDemux,
                              bRebuild, bMakeMkv, PageControl, bCancel};
    for (size_t n = 1; n < std::size(order); ++n)
        QWidget::setTabOrder(order[n - 1], order[n]);
}

// The logo's left edge is 153 up to an outer width of 432 and centres it beyond, as
// designed; it keeps out of the command buttons' way and is hidden when the row has no
// room for it.
void TfMain::FormResize() {
    if (commandRow_ == nullptr) return;
    const int outerWidth = frameGeometry().width();
    int left = outerWidth <= scaled(kLogoCentring) ? scaled(kLogoLeft)
                                                   : outerWidth / 2 - scaled(kLogoHalf);
    int roomLeft = 0;
    for (int n = 0; n < commandRow_->count(); ++n) {
        QWidget* button = commandRow_->itemAt(n)->widget();
        if (button == nullptr || button == bCancel || button->isHidden()) continue;
        roomLeft = std::max(roomLeft, button->geometry().right() + 1 + scaled(kSpacing));
    }
    const int roomRight = bCancel->geometry().left() - scaled(kSpacing);
    left = std::min(std::max(left, roomLeft), roomRight - imLogo->width());
    imLogo->setVisible(left >= roomLeft);
    const int top = bDemux->geometry().bottom() + 1 + scaled(kLogoBelowButtons) - imLogo->height();
    imLogo->move(left, top);
}

void TfMain::updateMinimumSize() {
    const QSize extra = frameGeometry().size() - geometry().size();
    if (extra == frameExtra_ && minimumWidth() > 0) return;
    const bool frameChanged = extra != frameExtra_;
    frameExtra_ = extra;
    setMinimumSize(std::max(0, scaled(kMinimumOuter.width()) - extra.width()),
                   std::max(0, scaled(kMinimumOuter.height()) - extra.height()));
    if (!frameChanged) return;
    // The stored placement was applied with the frame counted as nothing: again, exactly.
    applyRequestedPlacement();
    const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
    if (extra != QSize(0, 0) && normal) requested_ = {};
}

// Placed in the middle of the screen's free room; the stored placement, when there is
// one, replaces this at the first activation.
void TfMain::openAtFirstStartSize() {
    updateMinimumSize();
    QSize size = kDesignClient * kFirstStartScale * scale_;
    QRect room(QPoint(0, 0), size);
    if (QScreen* screen = this->screen()) room = screen->availableGeometry();
    size = size.boundedTo(room.size());
    resize(size);
    move(room.x() + (room.width() - size.width()) / 2,
         room.y() + (room.height() - size.height()) / 2);
}

int TfMain::treeWidth() const {
    return treeLaidOut_ ? tvXPL->width() : treeWidth_;
}

void TfMain::setTreeWidth(int width) {
    treeWidth_ = width;
    if (!treeLaidOut_) return;  // applied when the page is first shown
    const int rest = splXPL->width() - splXPL->handleWidth() - width;
    splXPL->setSizes({width, std::max(rest, 0)});
}

void TfMain::setXplTree(const std::vector<XplTreeNode>& topNodes) {
    tvXPL->clear();
    for (const XplTreeNode& node : topNodes)
        tvXPL->addTopLevelItem(treeItem(node));
    tvXPL->expandAll();
    widenTreeToItsItems();
}

// A tree narrower than its items grows to show them whole, up to half the page; the
// memo keeps the rest.
void TfMain::widenTreeToItsItems() {
    treeToWiden_ = !treeLaidOut_;
    if (treeToWiden_) return;  // once the page has its size
    tvXPL->header()->resizeSections(QHeaderView::ResizeToContents);
    const int needed = tvXPL->header()->sectionSize(0) + 2 * tvXPL->frameWidth() +
                       tvXPL->verticalScrollBar()->sizeHint().width();
    const int half = (splXPL->width() - splXPL->handleWidth()) / 2;
    const int wanted = std::min(needed, half);
    if (wanted > tvXPL->width()) setTreeWidth(wanted);
}

int TfMain::rowSpacing(const QCheckBox* row) const {
    const int height = std::max(row->sizeHint().height(), scaled(kBoxHeight));
    return std::max(scaled(kBoxRowPitch) - height, scaled(kMinimumRowSpacing));
}

QCheckBox* TfMain::box(StreamBox streamBox) const {
    return boxes_[boxNumber(streamBox)];
}

QPushButton* TfMain::button(Button which) const {
    return buttons_[static_cast<int>(which)];
}

QLineEdit* TfMain::edit(Edit which) const {
    switch (which) {
        case Edit::EvoFile:
            return eEVOfile;
        case Edit::XplFile:
            return eXPLfile;
        case Edit::Workdir:
            return eWorkdir;
        case Edit::VideoExt:
            return eVideoExt;
        case Edit::AudioExt:
            return eAudioExt;
        case Edit::SubExt:
            return eSubExt;
    }
    return eEVOfile;
}

QCheckBox* TfMain::option(Option which) const {
    switch (which) {
        case Option::Continue:
            return cbContinue;
        case Option::FastCheck:
            return cbFastCheck;
        case Option::CountFrames:
            return cbCountFr;
        case Option::Details:
            return cbDetails;
    }
    return cbContinue;
}

}  // namespace morvale
