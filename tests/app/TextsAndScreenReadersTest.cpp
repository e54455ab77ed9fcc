// Both windows as the font actually installed draws them, and as screen readers read
// them: every caption fits its text by the font's own metrics, and every window,
// control and panel has a role and a name.

#include "tests/app/MainFormFixture.h"

#include "app/Unit2.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSizeGrip>
#include <QStyle>

using namespace lanfan;

namespace {

using WindowTexts = test::MainFormWithAboutTest;

// The text drawn in one line of `font` needs this box.
QSize textBox(const QFont& font, const QString& text)
{
    QFontMetrics fm(font);
    return {fm.horizontalAdvance(text), fm.height()};
}

TEST_F(WindowTexts, AboutLabelsShowTheirWholeTextInsideThePanel)
{
    about->show();
    QTest::qWait(10);
    // Laying the panel out again (as any resize does) must not bring stored widths back.
    about->Panel1->resize(about->Panel1->size() + QSize(1, 1));
    about->Panel1->resize(about->Panel1->size() - QSize(1, 1));
    for (TLabel* label : {about->ProductName, about->Version, about->Copyright, about->Label1}) {
        SCOPED_TRACE(label->text().toStdString());
        QSize need = textBox(label->font(), label->text());
        EXPECT_GE(label->width(), need.width());
        EXPECT_GE(label->height(), need.height());
        EXPECT_TRUE(about->Panel1->contentsRect().contains(label->geometry())) << "inside the panel's frame";
    }
    // The box grew only as far as the widest label needs (the stored 8-pixel margin).
    int right = 0;
    for (TLabel* label : {about->ProductName, about->Version, about->Copyright, about->Label1})
        right = std::max(right, label->geometry().right() + 1);
    EXPECT_EQ(about->Panel1->width(), std::max(305, right + 8));
    EXPECT_EQ(about->ClientWidth() - about->Panel1->width(), 322 - 305);
    // Stored places are kept: only the sizes follow the texts.
    EXPECT_EQ(about->ProductName->pos(), QPoint(88, 16));
    EXPECT_EQ(about->Version->pos(), QPoint(88, 56));
    EXPECT_EQ(about->Copyright->pos(), QPoint(88, 80));
    EXPECT_EQ(about->Label1->pos(), QPoint(120, 112));
    about->hide();
}

TEST_F(WindowTexts, ALabelFollowsANewCaptionAndANewFont)
{
    TLabel* label = about->Version;
    label->SetCaption(QStringLiteral("版本        1.00 测试版，文字更长了"));
    EXPECT_GE(label->width(), textBox(label->font(), label->text()).width());
    QFont big = label->font();
    big.setPixelSize(24);
    label->setFont(big);
    EXPECT_GE(label->width(), textBox(big, label->text()).width());
    EXPECT_GE(label->height(), textBox(big, label->text()).height());
    EXPECT_EQ(label->pos(), QPoint(88, 56));
}

TEST_F(WindowTexts, ButtonsMenusAndPanelsOfTheMainWindowFitTheirTexts)
{
    // The Play button shows either caption; the style's own size hint says what fits.
    for (const QString& caption : {QStringLiteral("播放"), QStringLiteral("停止")}) {
        form->Play->SetCaption(caption);
        EXPECT_LE(form->Play->sizeHint().width(), form->Play->width()) << caption.toStdString();
        EXPECT_LE(textBox(form->Play->font(), caption).height(), form->Play->height());
    }
    for (QPushButton* button : {static_cast<QPushButton*>(form->Button1), static_cast<QPushButton*>(about->OKButton)}) {
        int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(textBox(button->font(), button->text()).width() + 2 * margin, button->width());
        EXPECT_LE(textBox(button->font(), button->text()).height(), button->height());
    }

    // Every menu title shows in the bar without spilling into an overflow button.
    QMenuBar* bar = form->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    for (QAction* action : bar->actions()) {
        QRect r = bar->actionGeometry(action);
        EXPECT_FALSE(r.isEmpty()) << action->text().toStdString();
        EXPECT_LE(r.right(), bar->width()) << action->text().toStdString();
        EXPECT_GE(r.width(), QFontMetrics(bar->font()).horizontalAdvance(QString(action->text()).remove(QLatin1Char('&'))));
    }

    // The status panels hold the longest hint and a large frame counter.
    QLabel* hint = form->StatusBar->panelWidget(0);
    QLabel* counter = form->StatusBar->panelWidget(1);
    EXPECT_LE(textBox(hint->font(), QStringLiteral("在拖动进度条时播放影片")).width(), hint->contentsRect().width());
    EXPECT_LE(textBox(counter->font(), QStringLiteral("当前帧：99999/99999")).width(), counter->contentsRect().width());
    EXPECT_LE(textBox(counter->font(), QStringLiteral("当前帧：")).height(), counter->height());
}

// ---- Screen readers -----------------------------------------------------------------

struct Node {
    QAccessible::Role role;
    QString name;
    QString description;
    QObject* object;
};

void collect(QAccessibleInterface* iface, QList<Node>& out)
{
    if (!iface || !iface->isValid())
        return;
    out.push_back({iface->role(), iface->text(QAccessible::Name), iface->text(QAccessible::Description),
                   iface->object()});
    for (int i = 0; i < iface->childCount(); ++i)
        collect(iface->child(i), out);
}

QList<Node> tree(QWidget* window)
{
    QList<Node> nodes;
    collect(QAccessible::queryAccessibleInterface(window), nodes);
    return nodes;
}

const Node* nodeOf(const QList<Node>& nodes, const QObject* object)
{
    for (const Node& n : nodes)
        if (n.object == object)
            return &n;
    return nullptr;
}

TEST_F(WindowTexts, EveryWindowControlAndPanelHasARoleAndAName)
{
    about->show();
    QTest::qWait(10);
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(about.get())}) {
        for (const Node& n : tree(window)) {
            // Only the layout's own container (the area below the menu) is a filler.
            if (n.role == QAccessible::Client && n.object && n.object->objectName() == QLatin1String("ClientArea"))
                continue;
            SCOPED_TRACE((n.object ? n.object->objectName() + QLatin1Char(' ') + n.object->metaObject()->className()
                                   : QString())
                             .toStdString()
                         + " role " + std::to_string(n.role));
            EXPECT_NE(n.role, QAccessible::Client) << "an unnamed filler";
            EXPECT_NE(n.role, QAccessible::NoRole);
            // An empty status panel is read by what it is for.
            EXPECT_FALSE(n.name.isEmpty() && n.description.isEmpty()) << "no name";
        }
    }
    about->hide();
}

TEST_F(WindowTexts, RolesNamesStatesAndValuesAsScreenReadersGetThem)
{
    about->show();
    QTest::qWait(10);
    const QList<Node> main = tree(form.get());
    const QList<Node> box = tree(about.get());
    struct Expect {
        const QList<Node>* nodes;
        const QObject* object;
        QAccessible::Role role;
        QString name;
    };
    const Expect table[] = {
        {&main, form.get(), QAccessible::Window, QStringLiteral("澜帆FLASH播放器(雏形版)")},
        {&main, form->ToolBar, QAccessible::ToolBar, QStringLiteral("工具栏")},
        {&main, form->Open, QAccessible::Button, QStringLiteral("打开")},
        {&main, form->CatchPicture, QAccessible::Button, QStringLiteral("截图")},
        {&main, form->Play, QAccessible::Button, QStringLiteral("播放")},
        {&main, form->ScrollBar1, QAccessible::ScrollBar, QStringLiteral("进度条")},
        {&main, form->CheckBox1, QAccessible::CheckBox, QStringLiteral("在拖动进度条时播放影片")},
        {&main, form->ShockwaveFlash1, QAccessible::Pane, QStringLiteral("影片播放区")},
        {&main, form->StatusBar, QAccessible::StatusBar, QStringLiteral("状态栏")},
        {&main, form->StatusBar->panelWidget(1), QAccessible::StaticText, QStringLiteral("当前帧：")},
        {&box, about.get(), QAccessible::Dialog, QStringLiteral("About")},
        {&box, about->Panel1, QAccessible::Pane, QStringLiteral("软件信息")},
        {&box, about->OKButton, QAccessible::Button, QStringLiteral("OK")},
        {&box, about->Label1, QAccessible::Link, TAboutBox::authorPage().toString()},
        {&box, about->Version, QAccessible::StaticText, QStringLiteral("版本        1.00")},
        {&box, about->ProgramIcon, QAccessible::Graphic, QStringLiteral("程序图标")},
        {&box, about->Image1, QAccessible::Graphic, QStringLiteral("作者主页")},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(e.name.toStdString());
        const Node* n = nodeOf(*e.nodes, e.object);
        ASSERT_NE(n, nullptr) << "not reachable from its window";
        EXPECT_EQ(n->role, e.role);
        EXPECT_EQ(n->name, e.name);
    }
    // The size grip is read as one, by what it does.
    QSizeGrip* grip = form->StatusBar->findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    const Node* gripNode = nodeOf(main, grip);
    ASSERT_NE(gripNode, nullptr);
    EXPECT_EQ(gripNode->role, QAccessible::Grip);
    EXPECT_FALSE(gripNode->name.isEmpty());

    // States and values.
    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(form->Play);
    EXPECT_TRUE(play->state().disabled) << "Play starts disabled";
    QAccessibleInterface* check = QAccessible::queryAccessibleInterface(form->CheckBox1);
    EXPECT_TRUE(check->state().checked);
    form->ScrollBar1->SetMax(40);
    form->ScrollBar1->SetPosition(17);
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form->ScrollBar1);
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 17);

    // A reader's "press" on the link opens the page as a mouse press does.
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(about->Label1);
    ASSERT_NE(link->actionInterface(), nullptr);
    ASSERT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(opened, QStringList{TAboutBox::authorPage().toString()});
    about->hide();
}

TEST_F(WindowTexts, AWindowIsNamedByItsCaptionAsItChanges)
{
    form->SetCaption(QStringLiteral("另一个标题"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name), QStringLiteral("另一个标题"));
}

} // namespace
