// What pads cost a panel that is otherwise idle: the real window (offscreen)
// with its pad reader, processor time over 5 s with no pad, then with two of
// SDL's virtual pads connected and at rest, each through its profile. SDL's
// virtual pads have no device to watch, so they are read every 10 ms: the
// most a pad costs (a real one is read only when its device has input).
//
//   pad_idle [SECONDS]
#include <QApplication>
#include <QTimer>
#include <SDL.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/qt/varnel_window.h"
#include "app/sources/qt/sdl_pad.h"
#include "bench_common.h"
#include "serial/port_map.h"

namespace {
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The share of one core the process took over seconds of the window's own loop.
double Idle(double seconds) {
  QTimer::singleShot(200, [] {});  // settle
  const double before = CpuSeconds();
  QTimer end;
  end.setSingleShot(true);
  QEventLoop loop;
  QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
  end.start(static_cast<int>(seconds * 1000));
  loop.exec();
  return (CpuSeconds() - before) / seconds * 100.0;
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
  QApplication app(argc, argv);
  BenchPty pty;
  PortMap map;
  map.Map("COM1", pty.path);
  CComSync port(&map);
  VarnelWindow window(port);
  window.setQuietDiagnostics(true);
  window.Init();
  window.show();
  SdlPad reader(window.dialog().ForPads());
  reader.Start();
  const double none = Idle(seconds);

  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "bench pad";
  const int a = SDL_JoystickAttachVirtualEx(&desc), b = SDL_JoystickAttachVirtualEx(&desc);
  SDL_Joystick* ja = SDL_JoystickOpen(a);
  SDL_Joystick* jb = SDL_JoystickOpen(b);
  Idle(1.0);  // found at the next look
  const int pads = reader.Pads();
  const double two = Idle(seconds);
  std::printf("the idle window over %.0f s, share of one core: no pad %.2f %%, %d virtual pads %.2f %% (%.1fx)\n",
              seconds, none, pads, two, none > 0 ? two / none : 0.0);
  SDL_JoystickClose(ja);
  SDL_JoystickClose(jb);
  SDL_JoystickDetachVirtual(b);
  SDL_JoystickDetachVirtual(a);
  return pads == 2 ? 0 : 1;
}
