#include "app/ui/AppWindows.h"

namespace auravox {

AppWindows::AppWindows(const AppDeps &deps) : m_serial(*deps.serialLines)
{
    m_form1 = std::make_unique<TForm1>(deps.main);
    // The main window's creation lists the serial ports.
    m_form1->setPortList(m_serial.discoverPorts());
    m_formCOM = std::make_unique<TFormCOM>(m_serial, *deps.main.prompts, *m_form1);

    m_form1->setComWindow(m_formCOM.get());
    m_form1->setConfigRegistry(&m_config);
    m_form1->declareConfig(m_config);
    m_formCOM->declareConfig(m_config);
}

AppWindows::~AppWindows()
{
    m_form1->setComWindow(nullptr);
    m_formCOM.reset();
    m_form1.reset();
}

} // namespace auravox
