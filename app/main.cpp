#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Oscalyx V2.0");
  QMainWindow window;
  window.setWindowTitle("自由振動/減衰振動　Oscalyx Ver2.0");
  window.resize(816, 713);
  window.show();
  return app.exec();
}
