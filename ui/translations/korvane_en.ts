<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
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
        <source>IO%1发送码编辑</source>
        <translation>IO%1 send codes</translation>
    </message>
</context>
</TS>
