// The main window's controls: their creation in the designed state and their placement.

#include <cmath>

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/jpeg_image.h"
#include "app/main_window.h"
#include "commands/form_design.h"

namespace morvale {

namespace {

// The form is designed at 96 dpi with a client area of this size.
constexpr int kDesignDpi = 96;
constexpr QSize kDesignClient(362, 346);
constexpr QSize kMinimumOuter(370, 380);
constexpr int kFontPixels = 11;  // 8 point at 96 dpi

// Which window edges, besides left and top, a control keeps its distance to.
enum Anchor : unsigned {
    kTopLeft = 0,
    kRight = 1,     // moves with the right edge
    kBottom = 2,    // moves with the bottom edge
    kStretchX = 4,  // keeps both the left and the right distance
    kStretchY = 8,  // keeps both the top and the bottom distance
};

struct Placement {
    const char* name;
    int x, y, width, height;
    unsigned anchors;
};

// Controls outside the pages, in design pixels. The logo's horizontal place is FormResize's.
constexpr Placement kOuterPlacements[] = {
    {"eEVOfile", 8, 8, 249, 21, kStretchX},
    {"bbEVO", 263, 6, 25, 25, kRight},
    {"bCheck", 294, 7, 60, 25, kRight},
    {"eXPLfile", 8, 40, 249, 21, kStretchX},
    {"bbXPL", 263, 38, 25, 25, kRight},
    {"bReadXPL", 294, 38, 60, 25, kRight},
    {"PageControl", 8, 69, 346, 219, kStretchX | kStretchY},
    {"bDemux", 8, 294, 60, 25, kBottom},
    {"bRebuild", 74, 294, 60, 25, kBottom},
    {"imLogo", 153, 292, 125, 31, kBottom},
    {"bCancel", 294, 294, 60, 25, kRight | kBottom},
    {"StatusBar", 0, 325, 362, 21, kStretchX | kBottom},
};

// Controls of the Options page (the first five inside the group box), in design pixels.
constexpr Placement kOptionPlacements[] = {
    {"gbFile", 3, 0, 320, 78, kTopLeft},        {"lVideoExt", 8, 19, 172, 15, kTopLeft},
    {"eVideoExt", 182, 16, 38, 21, kTopLeft},   {"eAudioExt", 226, 16, 38, 21, kTopLeft},
    {"eSubExt", 270, 16, 38, 21, kTopLeft},     {"lWorkdir", 8, 48, 74, 15, kTopLeft},
    {"eWorkdir", 84, 45, 224, 21, kTopLeft},    {"cbContinue", 3, 86, 320, 17, kTopLeft},
    {"cbFastCheck", 3, 108, 320, 17, kTopLeft}, {"cbCountFr", 3, 130, 320, 17, kTopLeft},
    {"cbDetails", 3, 152, 320, 17, kTopLeft},
};

// Stream boxes: rows of the columns, the columns' x, and the box size.
constexpr int kBoxRows[] = {9, 31, 53, 75, 98, 120, 142, 165};
constexpr int kBoxColumns[] = {9, 165};
constexpr QSize kBoxSize(140, 17);

// The "Status" page: the log fills the page below a strip holding "Clear" at its right end.
constexpr int kStatusStrip = 27;
constexpr QRect kClearButton(4, 4, 36, 18);  // x counted from the page's right edge

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

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint) {
    auto* button = named(new QPushButton(caption, parent), name);
    // Enter presses the focused button; elsewhere it presses the default one.
    button->setAutoDefault(true);
    if (!hint.isEmpty()) setHint(button, hint);
    return button;
}

QPushButton* makeBrowseButton(QWidget* parent, const char* name, const QString& hint) {
    QPushButton* button = makeButton(parent, name, QString(), hint);
    // Qt derives the greyed image from the normal one.
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    return button;
}

QLineEdit* makePathEdit(QWidget* parent, const char* name, const QString& hint) {
    auto* edit = named(new QLineEdit(parent), name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);  // Tab passes over it
    setHint(edit, hint);
    return edit;
}

QLineEdit* makeExtensionEdit(QWidget* parent, const char* name, const char* text) {
    auto* edit = named(new QLineEdit(QLatin1String(text), parent), name);
    edit->setMaxLength(kExtensionMaxLength);
    return edit;
}

QCheckBox* makeOption(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* box = named(new QCheckBox(QLatin1String(caption), parent), name);
    box->setChecked(kDesignOptionTicked);
    setHint(box, QLatin1String(hint));
    return box;
}

QTreeWidgetItem* treeItem(const XplTreeNode& node) {
    auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(node.text)));
    for (const XplTreeNode& child : node.children)
        item->addChild(treeItem(child));
    return item;
}

}  // namespace

int TfMain::scaled(int designPixels) const {
    return static_cast<int>(std::lround(designPixels * scale_));
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
        this, "eEVOfile",
        QStringLiteral("Drop here the source EVO file|You cannot write here directly"));
    bbEVO = makeBrowseButton(this, "bbEVO", QStringLiteral("Browse an EVO file"));
    bCheck = makeButton(this, "bCheck", QStringLiteral("Read EVO"),
                        QStringLiteral("Read the source EVO file to detect streams"));
    bCheck->setDefault(true);
    eXPLfile = makePathEdit(this, "eXPLfile", QStringLiteral("Drop here the VPLST000.XPL"));
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

    imLogo = named(new QLabel(this), "imLogo");
    imLogo->setPixmap(QPixmap::fromImage(logoPicture()));
    imLogo->setScaledContents(true);
    setHint(imLogo, QStringLiteral("HD DVD logo :-)"));

    bCancel = makeButton(this, "bCancel", QStringLiteral("Cancel"),
                         QStringLiteral("You can stop the actual process"));

    StatusBar = named(new QStatusBar(this), "StatusBar");
    for (int panel = 0; panel < 2; ++panel) {
        statusPanels_[panel] =
            named(new QLabel(StatusBar), panel == 0 ? "StatusPanel0" : "StatusPanel1");
        StatusBar->addWidget(statusPanels_[panel], panel);  // the last panel takes the rest
    }
    const QString progressText = QLatin1Char(' ') + QLatin1String(kDesignProgressText);
    statusPanels_[0]->setText(QLatin1Char(' ') + QLatin1String(kDesignStateText));
    statusPanels_[0]->setFixedWidth(scaled(40));
    panelWidths_[0] = scaled(40);
    statusPanels_[1]->setText(progressText);
    statusPanels_[1]->setMinimumWidth(scaled(50));
    panelWidths_[1] = scaled(50);
    StatusBar->setToolTip(progressText);

    buttons_ = {bCheck, bReadXPL, bDemux, bRebuild, bCancel};
    for (int n = 0; n < kButtonCount; ++n)
        applyEnabled(static_cast<Button>(n));
    for (const Placement& placement : kOuterPlacements) {
        placedWidgets_.push_back(findChild<QWidget*>(QLatin1String(placement.name)));
    }
    createDialogs();
    setFocusOrder();
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
    bClear = makeButton(tsStatus, "bClear", QStringLiteral("Clear"), QString());
    tsStatus->installEventFilter(this);  // the page's resizes place the log and "Clear"
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
        for (int index = 0; index < design.boxes; ++index, ++number) {
            const QString name = QLatin1String(page.boxPrefix) +
                                 QString::number(index).rightJustified(page.twoDigits ? 2 : 1, '0');
            auto* box = new QCheckBox(QLatin1String(design.designCaption), sheet);
            box->setObjectName(name);
            box->setGeometry(scaled(kBoxColumns[index / 8]), scaled(kBoxRows[index % 8]),
                             scaled(kBoxSize.width()), scaled(kBoxSize.height()));
            if (design.boxesCarryHint && index > 0) {
                boxHints_[number] = design.hint;
                setHint(box, QLatin1String(design.hint));
            }
            this->*kBoxMembers[number] = box;
            boxes_[number] = box;
            applyBoxEnabled(number);
            // User clicks only: the commands' own tick changes go through
            // setBoxTickedAndNotify.
            connect(box, &QCheckBox::clicked, this, [this] { cbVideoClick(); });
        }
    }
}

void TfMain::createXplPage() {
    tsXPL = named(new QWidget, "tsXPL");
    PageControl->addTab(tsXPL, QStringLiteral("XPL"));
    auto* layout = new QHBoxLayout(tsXPL);
    layout->setContentsMargins(0, 0, 0, 0);
    splXPL = named(new QSplitter(Qt::Horizontal, tsXPL), "splXPL");
    layout->addWidget(splXPL);
    splXPL->setChildrenCollapsible(false);
    splXPL->setHandleWidth(scaled(3));

    tvXPL = named(new QTreeWidget(splXPL), "tvXPL");
    tvXPL->setHeaderHidden(true);
    tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvXPL->setIndentation(scaled(19));
    tvXPL->setMinimumWidth(scaled(50));
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

    // The tree keeps its width when the window grows; the memo takes the rest.
    splXPL->setStretchFactor(0, 0);
    splXPL->setStretchFactor(1, 1);
    splXPL->installEventFilter(this);  // its first showing applies the tree's width
}

void TfMain::createOptionsPage() {
    tsOption = named(new QWidget, "tsOption");
    PageControl->addTab(tsOption, QStringLiteral("Options"));
    gbFile = named(new QGroupBox(tsOption), "gbFile");
    lVideoExt = named(new QLabel(QStringLiteral("Extensions (video, audio, subtitle)"), gbFile),
                      "lVideoExt");
    eVideoExt = makeExtensionEdit(gbFile, "eVideoExt", designOf(BoxPage::Video).designExtension);
    eAudioExt = makeExtensionEdit(gbFile, "eAudioExt", designOf(BoxPage::Audio).designExtension);
    eSubExt = makeExtensionEdit(gbFile, "eSubExt", designOf(BoxPage::Subpicture).designExtension);
    setHint(eSubExt, QStringLiteral("This is real .sup format, don't change!"));
    lWorkdir = named(new QLabel(QStringLiteral("Output folder"), gbFile), "lWorkdir");
    eWorkdir = named(new QLineEdit(gbFile), "eWorkdir");
    setHint(eWorkdir, QStringLiteral("Destination directory for the demuxed streams"));

    cbContinue = makeOption(
        tsOption, "cbContinue", "Continue with second  EVO",
        "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO");
    cbFastCheck = makeOption(tsOption, "cbFastCheck", "Fast EVO checking",
                             "Read EVO checks only the first ~300 MB of the file");
    cbCountFr = makeOption(tsOption, "cbCountFr", "Count frames",
                           "Works only if the process hasn't cancelled by Fast EVO checking");
    cbDetails =
        makeOption(tsOption, "cbDetails", "Detailed info", "Detailed information about streams");

    for (const Placement& placement : kOptionPlacements) {
        auto* widget = tsOption->findChild<QWidget*>(QLatin1String(placement.name));
        widget->setGeometry(scaled(placement.x), scaled(placement.y), scaled(placement.width),
                            scaled(placement.height));
    }
}

void TfMain::createDialogs() {
    odEVOfile =
        named(new QFileDialog(this, QStringLiteral("Choose the EVO file to demux")), "odEVOfile");
    odEVOfile->setOption(QFileDialog::DontUseNativeDialog);
    odEVOfile->setAcceptMode(QFileDialog::AcceptOpen);
    odEVOfile->setFileMode(QFileDialog::ExistingFile);  // folder and file must exist
    odEVOfile->setOption(QFileDialog::DontResolveSymlinks);
    odEVOfile->setNameFilters(
        {QStringLiteral("EVOB files (HD DVD) (*.evo)"), QStringLiteral("VOB files (DVD) (*.vob)")});
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
}

void TfMain::setFocusOrder() {
    QWidget* const order[] = {bbEVO,  bCheck,   bbXPL,       bReadXPL,
                              bDemux, bRebuild, PageControl, bCancel};
    for (size_t n = 1; n < std::size(order); ++n)
        QWidget::setTabOrder(order[n - 1], order[n]);
}

void TfMain::placeControls() {
    const int dx = width() - scaled(kDesignClient.width());
    const int dy = height() - scaled(kDesignClient.height());
    for (size_t n = 0; n < placedWidgets_.size(); ++n) {
        const Placement& placement = kOuterPlacements[n];
        QRect rect(scaled(placement.x), scaled(placement.y), scaled(placement.width),
                   scaled(placement.height));
        if (placement.anchors & kStretchX) {
            rect.setWidth(rect.width() + dx);
        } else if (placement.anchors & kRight) {
            rect.moveLeft(rect.left() + dx);
        }
        if (placement.anchors & kStretchY) {
            rect.setHeight(rect.height() + dy);
        } else if (placement.anchors & kBottom) {
            rect.moveTop(rect.top() + dy);
        }
        placedWidgets_[n]->setGeometry(rect);
    }
}

void TfMain::placeStatusPage() {
    const int width = tsStatus->width();
    const int strip = scaled(kStatusStrip);
    mMessage->setGeometry(0, strip, width, std::max(0, tsStatus->height() - strip));
    bClear->setGeometry(width - scaled(kClearButton.x() + kClearButton.width()),
                        scaled(kClearButton.y()), scaled(kClearButton.width()),
                        scaled(kClearButton.height()));
}

void TfMain::FormResize() {
    placeControls();
    const int outerWidth = frameGeometry().width();
    const int left = outerWidth <= scaled(432) ? scaled(153) : outerWidth / 2 - scaled(63);
    imLogo->move(left, imLogo->y());
}

void TfMain::updateMinimumSize() {
    const QSize extra = frameGeometry().size() - geometry().size();
    if (extra == frameExtra_ && minimumWidth() > 0) return;
    frameExtra_ = extra;
    setMinimumSize(std::max(0, scaled(kMinimumOuter.width()) - extra.width()),
                   std::max(0, scaled(kMinimumOuter.height()) - extra.height()));
}

void TfMain::setOuterWidth(int width) {
    resize(width - frameExtra_.width(), height());
}

void TfMain::setOuterHeight(int height) {
    resize(width(), height - frameExtra_.height());
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
