#pragma once
// One command at a time in a window that repaints while its commands run. The event loop that
// paints, and the one of every modal box, also delivers activations that do not come from the
// mouse or the keyboard (screen readers, UI automation); without a guard they would start a
// command, or open a dialog, inside the running one or behind an open box.
//
//   guard_.runCommand([this] { runHandler(...); });   // ignored while another command runs or
//                                                     // a notice or dialog is open
//   guard_.runWhenIdle("list", [this] { ... });       // now, or once the running command ended
//   if (!guard_.mayClose()) event->ignore();          // closes once the running command ended

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

class CommandGuard {
 public:
  explicit CommandGuard(QWidget* window) : window_(window) {}

  // Runs the command (which must not throw) unless one runs already or a box is open: a
  // notice, an error box or any other modal dialog. Afterwards the memory the command freed
  // goes back to the system, the handlers that waited run, and a close requested meanwhile is
  // carried out.
  void runCommand(const std::function<void()>& command);

  // Runs the handler now, or after the running command; of the handlers waiting under one
  // name, the last one runs.
  void runWhenIdle(const std::string& name, std::function<void()> handler);

  // True when the window may close now; false during a command, which closes it when it ends.
  bool mayClose();

 private:
  QPointer<QWidget> window_;
  bool busy_ = false;
  bool closeRequested_ = false;
  std::vector<std::pair<std::string, std::function<void()>>> waiting_;
};

}  // namespace velmora
