<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>korvane::TDevice</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>没有打开通讯串口，请检查是否占用！</source>
        <translation>No serial port is open. Check whether it is in use!</translation>
    </message>
    <message>
        <source>设备没办法接受编程请求！请检查通讯是否正常!</source>
        <translation>The device did not accept the programming request! Check the connection!</translation>
    </message>
    <message>
        <source>配置文件操作失败!</source>
        <translation>The configuration file could not be handled!</translation>
    </message>
    <message>
        <source>配置失败!请重新配置!</source>
        <translation>Programming failed! Please program again!</translation>
    </message>
    <message>
        <source>配置成功!</source>
        <translation>Programming succeeded!</translation>
    </message>
    <message>
        <source>配置文件正被另一个程序使用，请等它写入完成后再试!</source>
        <translation>Another program is using the configuration file. Try again when it has finished writing!</translation>
    </message>
    <message>
        <source>是否读取数据？如果确定当前的数据给被更改!</source>
        <translation>Read the codes from the device? OK replaces the current codes!</translation>
    </message>
    <message>
        <source>读取数据出错！</source>
        <translation>Reading the data failed!</translation>
    </message>
    <message>
        <source>读取数据成功！</source>
        <translation>Data read successfully!</translation>
    </message>
</context>
<context>
    <name>korvane::TFormCode</name>
    <message>
        <source>代码1:</source>
        <translation>Code 1:</translation>
    </message>
    <message>
        <source>代码2:</source>
        <translation>Code 2:</translation>
    </message>
    <message>
        <source>代码3:</source>
        <translation>Code 3:</translation>
    </message>
    <message>
        <source>代码4:</source>
        <translation>Code 4:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>接触发送码(只能填入16进制符串)</source>
        <translation>Press codes (hex strings only)</translation>
    </message>
    <message>
        <source>松开发送码(只能填入16进制符串)</source>
        <translation>Release codes (hex strings only)</translation>
    </message>
</context>
<context>
    <name>korvane::TFormMain</name>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>KORVANE发送码编辑器</source>
        <translation>KORVANE send code editor</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>控制通讯波特率：</source>
        <translation>Control baud rate:</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>串口不存在！或已被占用！</source>
        <translation>The serial port does not exist or is in use!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>IO%1发送码编辑</source>
        <translation>IO%1 send codes</translation>
    </message>
    <message>
        <source>您确定要打开配置文件吗？当前的配置文件如果没有保存将丢失！</source>
        <translation>Open a code set file? Unsaved codes will be lost!</translation>
    </message>
    <message>
        <source>打开确认</source>
        <translation>Confirm open</translation>
    </message>
    <message>
        <source>无法读取配置文件：</source>
        <translation>Cannot read the code set file: </translation>
    </message>
    <message>
        <source>您确定要保存配置文件吗？当前的配置文件如果没有保存将丢失！</source>
        <translation>Save the code set to a file? Unsaved codes will be lost!</translation>
    </message>
    <message>
        <source>保存确认</source>
        <translation>Confirm save</translation>
    </message>
    <message>
        <source>配置文件保存失败：</source>
        <translation>Saving the code set file failed: </translation>
    </message>
</context>
</TS>
