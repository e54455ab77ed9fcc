#include "engine/avm1/Executor.h"

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/MovieClipObject.h"

namespace swf::avm1 {

namespace {

// A clip with nothing on it, whose timeline requests go to a TimelineControl.
class TimelineHost : public ClipHost {
public:
    TimelineHost(TimelineControl& timeline) : timeline_(timeline) {}
    void bind(Object* self) { self_ = self; }

    Object* scriptObject() override { return self_; }
    Object* parentObject() override { return nullptr; }
    Object* rootObject() override { return self_; }
    Object* childByName(std::string_view, bool) override { return nullptr; }
    std::vector<std::string> childNames() override { return {}; }
    Value getProperty(ClipProperty property) override
    {
        switch (property) {
        case ClipProperty::Target: return Value("/");
        case ClipProperty::Name: return Value("");
        case ClipProperty::XScale:
        case ClipProperty::YScale:
        case ClipProperty::Alpha: return Value(100.0);
        case ClipProperty::Visible: return Value(true);
        default: return Value(0.0);
        }
    }
    void setProperty(ClipProperty, const Value&) override {}
    void play() override { timeline_.play(); }
    void stop() override { timeline_.stop(); }
    void nextFrame() override { timeline_.nextFrame(); }
    void prevFrame() override { timeline_.prevFrame(); }
    void gotoFrame(int frame) override { timeline_.gotoFrame(frame - 1); }
    bool gotoLabel(std::string_view label) override { return timeline_.gotoLabel(label); }
    int currentFrame() override { return 1; }
    std::vector<std::span<const uint8_t>> frameScripts(const std::string&) override { return {}; }
    int totalFrames() override { return 1; }
    std::string name() override { return {}; }
    int depth() override { return 0; }
    std::string targetPath(bool slashes) override { return slashes ? "/" : "_level0"; }
    bool removeClip() override { return false; }
    Object* duplicate(const std::string&, int, Object*) override { return nullptr; }
    Object* attachMovie(const std::string&, const std::string&, int, Object*) override { return nullptr; }
    Object* createEmptyClip(const std::string&, int) override { return nullptr; }
    void swapDepths(const Value&) override {}
    int nextHighestDepth() override { return 0; }
    Object* childAtDepth(int) override { return nullptr; }
    bool bounds(Object*, bool, double& x0, double& y0, double& x1, double& y1) override
    {
        x0 = y0 = x1 = y1 = 0;
        return false;
    }
    void localToGlobal(double&, double&) override {}
    void globalToLocal(double&, double&) override {}
    bool hitTestPoint(double, double, bool) override { return false; }
    void trace(const std::string& line) override { timeline_.trace(line); }
    void getUrl(const std::string& url, const std::string& target) override { timeline_.getUrl(url, target); }
    void toggleQuality() override { timeline_.toggleQuality(); }
    void stopSounds() override { timeline_.stopSounds(); }
    Object* level(int number) override { return number == 0 ? self_ : nullptr; }

private:
    TimelineControl& timeline_;
    Object* self_ = nullptr;
};

} // namespace

ExecutionResult Executor::run(std::span<const uint8_t> code, TimelineControl& timeline)
{
    Machine machine(version_);
    TimelineHost host(timeline);
    auto* clip = machine.make<MovieClipObject>(machine.protos().movieClip, &host);
    host.bind(clip);
    machine.setTraceSink([&timeline](const std::string& line) { timeline.trace(line); });
    machine.setLevelResolver([clip](int n) { return n == 0 ? clip : nullptr; });
    machine.resetBudget(limits_.maxActions);
    ExecutionResult result = machine.runBlock(code, clip);
    actionsRun_ = limits_.maxActions - machine.actionsLeft();
    clip->detach();
    return result;
}

} // namespace swf::avm1
