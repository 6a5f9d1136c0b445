#pragma once

#include "app/ConfigRegistry.h"
#include "app/ui/TForm1.h"
#include "links/SerialPortControl.h"
#include "links/ui/TFormCOM.h"

#include <memory>

namespace auravox {

class SerialLines;

// Everything the program's windows need from outside.
struct AppDeps
{
    MainWindowDeps main;
    SerialLines *serialLines = nullptr;
};

// Every window of the program, created at start in their order and kept for
// the whole run, wired to each other, with their configuration keys declared.
class AppWindows
{
public:
    explicit AppWindows(const AppDeps &deps);
    ~AppWindows();

    TForm1 &form1() { return *m_form1; }
    TFormCOM &formCOM() { return *m_formCOM; }
    ConfigRegistry &config() { return m_config; }
    SerialPortControl &serialPort() { return m_serial; }

private:
    ConfigRegistry m_config;
    SerialPortControl m_serial;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TFormCOM> m_formCOM;
};

} // namespace auravox
