#include "xdndsource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <poll.h>
#include <thread>

namespace orvella::test {
namespace {

struct TDisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

class TDragSource {
public:
    TDragSource(Display* display, Window target, const std::string& data)
        : Dpy(display)
        , Target(target)
        , Data(data) {
        Source = XCreateSimpleWindow(Dpy, DefaultRootWindow(Dpy), 0, 0, 1, 1, 0, 0, 0);
        AwareAtom = Intern("XdndAware");
        EnterAtom = Intern("XdndEnter");
        PositionAtom = Intern("XdndPosition");
        StatusAtom = Intern("XdndStatus");
        DropAtom = Intern("XdndDrop");
        FinishedAtom = Intern("XdndFinished");
        SelectionAtom = Intern("XdndSelection");
        CopyAtom = Intern("XdndActionCopy");
        UriListAtom = Intern("text/uri-list");
    }
    ~TDragSource() { XDestroyWindow(Dpy, Source); }

    // The protocol version the target speaks, 0 when it takes no drops.
    long TargetVersion() {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char* value = nullptr;
        long version = 0;
        if (XGetWindowProperty(Dpy, Target, AwareAtom, 0, 1, False, XA_ATOM, &type, &format, &count,
                               &rest, &value) == Success &&
            value && count == 1 && format == 32)
            version = long(*reinterpret_cast<unsigned long*>(value));
        if (value) XFree(value);
        return version;
    }

    std::string Run(int rootX, int rootY, int timeoutMs) {
        const long version = std::min(TargetVersion(), 5L);
        if (version < 3) return "the window takes no drops (no XdndAware of version 3 or later)";
        XSetSelectionOwner(Dpy, SelectionAtom, Source, CurrentTime);
        if (XGetSelectionOwner(Dpy, SelectionAtom) != Source) return "could not own XdndSelection";
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

        Send(EnterAtom, {long(Source), version << 24, long(UriListAtom), 0, 0});
        Send(PositionAtom,
             {long(Source), 0, (long(rootX) << 16) | long(rootY), CurrentTime, long(CopyAtom)});
        XEvent event;
        if (!WaitFor(ClientMessage, StatusAtom, deadline, event)) return "no XdndStatus came";
        if (!(event.xclient.data.l[1] & 1)) return "the window refused the drop";

        Send(DropAtom, {long(Source), 0, CurrentTime, 0, 0});
        // The target now asks for the data, then says it finished.
        if (!WaitFor(ClientMessage, FinishedAtom, deadline, event)) return "no XdndFinished came";
        if (version >= 5 && !(event.xclient.data.l[1] & 1))
            return "the window did not accept the dropped data";
        return {};
    }

private:
    ::Atom Intern(const char* name) { return XInternAtom(Dpy, name, False); }

    void Send(::Atom type, std::initializer_list<long> values) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.display = Dpy;
        event.xclient.window = Target;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        int i = 0;
        for (long v : values)
            event.xclient.data.l[i++] = v;
        XSendEvent(Dpy, Target, False, NoEventMask, &event);
        XFlush(Dpy);
    }

    // Answers requests for the data until a client message of messageType arrives.
    bool WaitFor(int eventType, ::Atom messageType, std::chrono::steady_clock::time_point deadline,
                 XEvent& event) {
        while (std::chrono::steady_clock::now() < deadline) {
            if (!XPending(Dpy)) {
                pollfd wait{ConnectionNumber(Dpy), POLLIN, 0};
                ::poll(&wait, 1, 20);
                continue;
            }
            XNextEvent(Dpy, &event);
            if (event.type == SelectionRequest) {
                Answer(event.xselectionrequest);
                continue;
            }
            if (event.type == eventType && event.xclient.message_type == messageType) return true;
        }
        return false;
    }

    void Answer(const XSelectionRequestEvent& request) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.display = request.display;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = None; // refused unless it asks for the list
        const ::Atom property = request.property != None ? request.property : request.target;
        if (request.selection == SelectionAtom && request.target == UriListAtom) {
            XChangeProperty(Dpy, request.requestor, property, UriListAtom, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(Data.data()), int(Data.size()));
            reply.xselection.property = property;
        }
        XSendEvent(Dpy, request.requestor, False, NoEventMask, &reply);
        XFlush(Dpy);
    }

    Display* Dpy;
    Window Target, Source;
    std::string Data;
    ::Atom AwareAtom, EnterAtom, PositionAtom, StatusAtom, DropAtom, FinishedAtom, SelectionAtom,
        CopyAtom, UriListAtom;
};

} // namespace

std::string DropUriList(unsigned long window, int x, int y, const std::string& uriList,
                        int timeoutMs) {
    std::unique_ptr<Display, TDisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) return "cannot open the display";
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display.get(), Window(window), DefaultRootWindow(display.get()), x, y,
                          &rootX, &rootY, &child);
    TDragSource source(display.get(), Window(window), uriList);
    return source.Run(rootX, rootY, timeoutMs);
}

} // namespace orvella::test
