<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>RewindleDialog</name>
    <message>
        <source>本地IP</source>
        <translation>Local IP:</translation>
    </message>
    <message>
        <source>本地端口号</source>
        <translation>Local Port:</translation>
    </message>
    <message>
        <source>发送文件</source>
        <translation>File Name</translation>
    </message>
    <message>
        <source>文件进度：</source>
        <translation>Percentage:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>减速</source>
        <translation>Slow Down</translation>
    </message>
    <message>
        <source>加速</source>
        <translation>Speed UP</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Marivane已经连接</source>
        <translation>Marivane is connected</translation>
    </message>
    <message>
        <source>等待Marivane连接......</source>
        <translation>Waitting for Marivane to connect</translation>
    </message>
    <message>
        <source>打开多波束文件</source>
        <translation>Open the .mbm file</translation>
    </message>
</context>
</TS>
