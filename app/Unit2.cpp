#include "app/Unit2.h"

#include "app/Resources.h"

#include "toolkit/Accessible.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace lanfan {

TAboutBox* AboutBox = nullptr;

namespace {
const QString kAuthorPage = QStringLiteral("https://lanfan-player.github.io/");

TAboutBox::UrlOpener& urlOpener()
{
    static TAboutBox::UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

QFont songti()
{
    // "宋体" where it exists; otherwise the installed CJK font, 12 pixels high, so that a
    // Chinese character is 12 pixels wide and a space 6.
    QFont font(QStringLiteral("SimSun"));
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei Mono"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    return font;
}
} // namespace

QUrl TAboutBox::authorPage()
{
    return QUrl(kAuthorPage);
}

void TAboutBox::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

TAboutBox::TAboutBox(QWidget* owner) : TForm(owner)
{
    ensureResources();
    setObjectName(QStringLiteral("AboutBox"));
    setLoading(true);
    loadLayout();
    setLoading(false);
}

void TAboutBox::loadLayout()
{
    SetCaption(QStringLiteral("About"));
    SetBorderStyle(TBorderStyle::bsDialog);
    SetStoredPlacement(478, 299, 322, 213);

    Panel1 = new TPanel(&client());
    Panel1->Name = QStringLiteral("Panel1");
    Panel1->SetBevels(TBevelCut::bvLowered, TBevelCut::bvRaised, 1);
    Panel1->setAccessibleName(QStringLiteral("软件信息"));
    Panel1->SetBounds(8, 8, 305, 161);

    Label1 = new TLabel(Panel1);
    Label1->Name = QStringLiteral("Label1");
    Label1->SetCaption(kAuthorPage);
    QFont linkFont(QStringLiteral("MS Sans Serif"));
    linkFont.setPixelSize(11);
    Label1->setFont(linkFont);
    Label1->setStyleSheet(QStringLiteral("color: blue;"));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAutoFillBackground(true);
    Label1->SetBounds(120, 112, 106, 13);
    Label1->OnMouseDown = [this](TControl* s, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Label1MouseDown(s, b, m, x, y);
    };
    // Screen readers read it as the link it is and can open it as a press would.
    setAccessibleRole(*Label1, QAccessible::Link);
    setAccessiblePress(*Label1, [this] { Label1MouseDown(Label1, Qt::LeftButton, Qt::NoModifier, 0, 0); });

    auto makeText = [this](const char* name, const QString& text, int left, int top, int width) {
        auto* label = new TLabel(Panel1);
        label->Name = QString::fromLatin1(name);
        label->setFont(songti());
        label->setStyleSheet(QStringLiteral("color: black;"));
        label->SetCaption(text);
        label->SetBounds(left, top, width, 12);
        return label;
    };
    Copyright = makeText("Copyright", QStringLiteral("作者        澜帆播放器开发组"), 88, 80, 96);
    Version = makeText("Version", QStringLiteral("版本        1.00"), 88, 56, 96);
    ProductName = makeText("ProductName", QStringLiteral("软件名称    澜帆FLASH播放器(雏形版)"), 88, 16, 210);

    ProgramIcon = new TImage(Panel1);
    ProgramIcon->Name = QStringLiteral("ProgramIcon");
    ProgramIcon->Stretch = true;
    ProgramIcon->SetPicture(QImage(QStringLiteral(":/pictures/icon32.png")));
    ProgramIcon->SetBounds(8, 16, 32, 32);
    ProgramIcon->setAccessibleName(QStringLiteral("程序图标"));

    Image1 = new TImage(Panel1);
    Image1->Name = QStringLiteral("Image1");
    Image1->Stretch = true;
    Image1->Transparent = true;
    Image1->SetPicture(QImage(QStringLiteral(":/pictures/house.png")));
    Image1->SetBounds(88, 104, 25, 25);
    Image1->setAccessibleName(QStringLiteral("作者主页"));

    OKButton = new TButton(&client());
    OKButton->Name = QStringLiteral("OKButton");
    OKButton->SetCaption(QStringLiteral("OK"));
    OKButton->SetBounds(127, 180, 75, 25);
    OKButton->setDefault(true);
    OKButton->ModalResult = mrOk;
    OKButton->SetTabStop(true);

    for (TControl* c : std::initializer_list<TControl*>{Panel1, Label1, Copyright, Version, ProductName, ProgramIcon,
                                                         Image1, OKButton}) {
        c->widget().setObjectName(c->Name);
        c->widget().show();
    }
    fitToTexts();
}

void TAboutBox::fitToTexts()
{
    // The stored sizes were made for a font whose Latin letters are half a Chinese
    // character wide. A wider font makes the labels (which size themselves to their
    // text) reach past the panel: the panel and the box then grow by as much, keeping
    // the stored margins, and OK stays in the middle.
    constexpr int kPanelWidth = 305, kClientWidth = 322, kMargin = 8;
    int right = 0;
    for (TLabel* label : {Label1, Copyright, Version, ProductName})
        right = std::max(right, label->geometry().right() + 1);
    int grow = std::max(0, right + kMargin - kPanelWidth);
    Panel1->SetBounds(8, 8, kPanelWidth + grow, 161);
    SetStoredPlacement(478, 299, kClientWidth + grow, 213);
    OKButton->SetBounds(127 + grow / 2, 180, 75, 25);
}

void TAboutBox::beforeFirstShow()
{
    // Centred on the screen the first time; afterwards it reopens where it was.
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect s = screen->geometry();
    QSize frame = frameGeometry().size();
    int left = std::max(0, (s.width() - frame.width()) / 2);
    int top = std::max(0, (s.height() - frame.height()) / 2);
    move(s.left() + left, s.top() + top);
}

void TAboutBox::keyPressEvent(QKeyEvent* event)
{
    // Enter without modifiers anywhere presses the default button; Esc does nothing,
    // as there is no cancel button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        OKButton->click();
        return;
    }
    if (event->key() == Qt::Key_Escape)
        return;
    TForm::keyPressEvent(event);
}

void TAboutBox::Label1MouseDown(TControl*, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    // Whether the desktop could open it is not reported.
    (void)urlOpener()(authorPage());
}

} // namespace lanfan
