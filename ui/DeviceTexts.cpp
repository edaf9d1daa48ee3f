#include "ui/DeviceTexts.h"

#include <QCoreApplication>

namespace korvane {
namespace {

constexpr const char* kContext = "korvane::TDevice";

// The device operations' fixed texts, listed for the translation tools.
[[maybe_unused]] constexpr const char* kDeviceTexts[] = {
    QT_TRANSLATE_NOOP("korvane::TDevice", "警告"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "成功"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "完成"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "没有打开通讯串口，请检查是否占用！"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "设备没办法接受编程请求！请检查通讯是否正常!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "配置文件操作失败!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "配置失败!请重新配置!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "配置成功!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "配置文件正被另一个程序使用，请等它写入完成后再试!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "是否读取数据？如果确定当前的数据给被更改!"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "读取数据出错！"),
    QT_TRANSLATE_NOOP("korvane::TDevice", "读取数据成功！"),
};

}  // namespace

QString DeviceText(const std::string& text) {
  return QCoreApplication::translate(kContext, text.c_str());
}

}  // namespace korvane
