#include "tests/toolkit/ToolkitFixture.h"

#include "toolkit/Form.h"
#include "toolkit/HintTarget.h"
#include "toolkit/Menu.h"
#include "toolkit/StatusBar.h"
#include "toolkit/StdCtrls.h"

#include <QKeyEvent>
#include <QTest>

using namespace lanfan;

namespace {

TEST(ShortCuts, ValuesAndTexts)
{
    EXPECT_EQ(ShortCutToText(16463), QStringLiteral("Ctrl+O"));
    EXPECT_EQ(ShortCutToText(27), QStringLiteral("Esc"));
    EXPECT_EQ(ShortCutToText(13), QStringLiteral("Enter"));
    EXPECT_EQ(ShortCutToText(83), QStringLiteral("S"));
    EXPECT_EQ(ShortCutToText(16451), QStringLiteral("Ctrl+C"));
    EXPECT_EQ(ShortCutToText(83 + scShift + scCtrl + scAlt), QStringLiteral("Shift+Ctrl+Alt+S"));
    EXPECT_EQ(ShortCutToText(0), QString());

    auto value = [](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        return shortCutFromEvent(e);
    };
    EXPECT_EQ(value(Qt::Key_O, Qt::ControlModifier), 16463);
    EXPECT_EQ(value(Qt::Key_S, Qt::NoModifier), 83);
    EXPECT_EQ(value(Qt::Key_S, Qt::ShiftModifier), 83 + 8192);
    EXPECT_EQ(value(Qt::Key_S, Qt::AltModifier), 83 + 32768);
    EXPECT_EQ(value(Qt::Key_Return, Qt::NoModifier), 13);
    EXPECT_EQ(value(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(value(Qt::Key_Escape, Qt::NoModifier), 27);
}

// A focusable control that may take keys before the menu, like the player control.
class KeyTaker : public QWidget, public TControl, public TAcceleratorTarget {
public:
    explicit KeyTaker(QWidget* parent) : QWidget(parent), TControl(static_cast<QWidget&>(*this))
    {
        setFocusPolicy(Qt::StrongFocus);
    }
    bool TranslateAccelerator(const QKeyEvent& e) override { return takes == e.key(); }
    void keyPressEvent(QKeyEvent* e) override { received.push_back(e->key()); }
    int takes = 0;
    std::vector<int> received;
};

class FormTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        form = std::make_unique<TForm>();
        auto* menu = new TMainMenu(form.get());
        auto* file = new TMenuItem(form.get());
        file->SetCaption(QStringLiteral("文件(&F)"));
        stop = new TMenuItem(form.get());
        stop->SetCaption(QStringLiteral("停止(&S)"));
        stop->SetShortCut(83);
        stop->OnClick = [this](TMenuItem*) { ++stops; };
        file->Add(stop);
        menu->Add(file);
        form->SetMenu(menu);
        form->SetStoredPlacement(262, 143, 518, 350);
        taker = new KeyTaker(&form->client());
        taker->SetBounds(0, 0, 100, 100);
        box = new TCheckBox(&form->client());
        box->SetBounds(200, 0, 17, 17);
        form->show();
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }
    std::unique_ptr<TForm> form;
    TMenuItem* stop = nullptr;
    KeyTaker* taker = nullptr;
    TCheckBox* box = nullptr;
    int stops = 0;
};

TEST_F(FormTest, MenuShortCutsComeBeforeTheFocusedControlButAfterTheKeyTaker)
{
    taker->setFocus();
    QTest::keyClick(taker, Qt::Key_S);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(taker->received.empty());

    // Modifiers make another value: Shift+S reaches the control.
    QTest::keyClick(taker, Qt::Key_S, Qt::ShiftModifier);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(std::count(taker->received.begin(), taker->received.end(), Qt::Key_S), 1);

    // A key the control takes never reaches the menu.
    taker->takes = Qt::Key_S;
    QTest::keyClick(taker, Qt::Key_S);
    EXPECT_EQ(stops, 1);

    // Whatever other control has the focus, the shortcut works.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_S);
    EXPECT_EQ(stops, 2);

    // A disabled item takes no shortcut.
    stop->SetEnabled(false);
    QTest::keyClick(box, Qt::Key_S);
    EXPECT_EQ(stops, 2);
}

TEST_F(FormTest, MenuShowsShortCutTextAndClickDoesNotTouchCheckMarks)
{
    EXPECT_EQ(stop->action()->text(), QStringLiteral("停止(&S)\tS"));
    TMenuItem item(form.get());
    item.SetChecked(true);
    item.OnClick = [](TMenuItem*) {};
    item.action()->trigger();
    EXPECT_TRUE(item.Checked());
    EXPECT_TRUE(item.action()->isChecked());
}

TEST_F(FormTest, AlignedBarsAndAnchoredControlsFollowTheClientArea)
{
    auto* top = new TPanel(&form->client());
    top->Align = TAlign::alTop;
    top->SetBounds(0, 0, 518, 49);
    auto* right = new TSpeedButton(top);
    right->Anchors = TAnchors::topRight();
    right->SetBounds(456, 13, 47, 22);
    auto* stretch = new TSpeedButton(top);
    stretch->Anchors = TAnchors::leftTopRight();
    stretch->SetBounds(112, 16, 313, 17);
    auto* bottom = new TStatusBar(&form->client());
    bottom->Align = TAlign::alBottom;
    bottom->SetBounds(0, 331, 518, 19);
    auto* fill = new TPanel(&form->client());
    fill->Align = TAlign::alClient;
    fill->SetBounds(0, 49, 518, 282);
    for (QWidget* w : std::initializer_list<QWidget*>{top, right, stretch, bottom, fill})
        w->show();
    TControl::alignChildren(form->client());
    EXPECT_EQ(fill->geometry(), QRect(0, 49, 518, 282));
    EXPECT_EQ(bottom->geometry(), QRect(0, 331, 518, 19));

    form->client().resize(718, 450);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 718, 49));
    EXPECT_EQ(fill->geometry(), QRect(0, 49, 718, 382));
    EXPECT_EQ(bottom->geometry(), QRect(0, 431, 718, 19));
    EXPECT_EQ(right->geometry(), QRect(656, 13, 47, 22));  // 15 from the right edge
    EXPECT_EQ(stretch->geometry(), QRect(112, 16, 513, 17));  // 93 from the right edge

    top->SetVisible(false);
    EXPECT_EQ(fill->geometry(), QRect(0, 0, 718, 431));
    bottom->SetVisible(false);
    EXPECT_EQ(fill->geometry(), QRect(0, 0, 718, 450));
}

TEST_F(FormTest, FocusControlRefusesHiddenOrDisabledTargets)
{
    form->FocusControl(*box);
    EXPECT_EQ(form->ActiveControl(), box);
    box->setEnabled(false);
    try {
        form->FocusControl(*box);
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot focus a disabled or invisible window"));
    }
    box->setEnabled(true);
    box->hide();
    EXPECT_THROW(form->FocusControl(*box), EInvalidOperation);
    box->show();
    // A control placed far outside the client area is still focusable.
    taker->SetTop(-300);
    form->FocusControl(*taker);
    EXPECT_EQ(form->ActiveControl(), taker);
}

TEST_F(FormTest, CanResizeRunsForSizeChangesOnly)
{
    int runs = 0;
    form->OnCanResize = [&](TForm*, int&, int&, bool&) { ++runs; };
    form->move(form->pos() + QPoint(10, 10));
    QTest::qWait(20);
    EXPECT_EQ(runs, 0);
    form->resize(form->width() + 40, form->height() + 30);
    QTRY_COMPARE(runs, 1);
}

} // namespace
