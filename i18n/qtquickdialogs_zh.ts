<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Source-based catalogue for the labels of Qt Quick's own file dialog that Qt 6.4's catalogues
     (qt6-translations-l10n) leave untranslated; a text Qt's catalogues have wins over this one.
     The words are those Qt's catalogues use elsewhere. -->
<TS version="2.1" language="zh_CN">
<context>
    <name>FileDialog</name>
    <message>
        <source>File name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>过滤器</translation>
    </message>
</context>
</TS>
