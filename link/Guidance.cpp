// The guidance pages of the connection tab.
#include "app/KVX_Configurator.h"
#include "ui_KVX_Configurator.h"

namespace {

void showPage(QTextEdit* pane, std::initializer_list<const char*> fragments) {
    pane->clear();
    for (const char* fragment : fragments)
        pane->insertHtml(QString::fromLatin1(fragment));
    pane->ensureCursorVisible();
}

} // namespace

void KVX_Configurator::showReadyPage() {
    showPage(ui->configurationOutputBox,
             {"<h1>Ready to Connect to KVXv2</h1>",
              "<br><h2>Attach USB cable from computer to KVXv2.</h2>",
              "<br><h2>Turn on KVXv2.</h2>",
              "<br><h2>Select appropriate USB port from the dropdown list.</h2>",
              "<br><h2>Use the CONNECT button to attempt connection to the USB device.</h2>"});
}

void KVX_Configurator::showConnectedPage() {
    showPage(
        ui->configurationOutputBox,
        {"<h1>Connected to KVXv2.</h1>",
         "<br><h2>Initial configuration has been read from the KVXv2.</h2>",
         "<br><h2>Select from the tabs to configure settings for a specific board in the "
         "KVXv2.</h2>",
         "<br><h2>Use the READ CONFIGURATION button to re-read existing KVXv2 configuration from "
         "device.</h2>",
         "<br><h2>Use the WRITE CONFIGURATION button to write new KVXv2 configuration to "
         "device.</h2>",
         "<br><h2>Use the DISCONNECT button to disconnect from the KVXv2.</h2>"});
}
