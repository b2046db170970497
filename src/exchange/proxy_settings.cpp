#include "exchange/proxy_settings.h"

#include "settings/settings_file.h"

namespace reef::exchange {

bool loadProxySettings(ProxySettings& settings, const std::string& path) {
    settings::SettingsFile file;
    if (!file.open(path)) {
        return false;
    }
    ProxySettings loaded;
    loaded.host = file.readString("IP", "");
    loaded.port = file.readInteger("Port", 0);
    loaded.type = file.readInteger("Typ", 0);
    loaded.userId = file.readString("UserID", "");
    loaded.password = file.readString("UserPass", "");
    file.close();
    settings = loaded;
    return true;
}

} // namespace reef::exchange
