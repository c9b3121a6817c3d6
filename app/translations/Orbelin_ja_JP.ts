<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Demeter</name>
    <message>
        <source>%1 crashed in %2</source>
        <translation>%2 で %1 が異常終了しました</translation>
    </message>
    <message>
        <source>%1 ended with exit code %2 in %3</source>
        <translation>%3 で %1 が終了コード %2 で終了しました</translation>
    </message>
    <message>
        <source>Can not start %1 : %2</source>
        <translation>%1 を起動できません : %2</translation>
    </message>
    <message>
        <source>FeFF in %1 : %2</source>
        <translation>%1 の FeFF : %2</translation>
    </message>
    <message>
        <source>Can not create the working directory %1</source>
        <translation>作業ディレクトリ %1 を作成できません</translation>
    </message>
    <message>
        <source>FeFF wrote no new chi.dat in %1</source>
        <translation>%1 に FeFF の新しい chi.dat がありません</translation>
    </message>
    <message>
        <source>chi.dat in %1 holds no data</source>
        <translation>%1 の chi.dat にデータがありません</translation>
    </message>
    <message>
        <source>A. Finished</source>
        <translation>Atoms完了</translation>
    </message>
    <message>
        <source>A. Not Running</source>
        <translation>Atoms未実行</translation>
    </message>
    <message>
        <source>A. Running</source>
        <translation>Atoms実行中</translation>
    </message>
    <message>
        <source>A. Starting</source>
        <translation>Atoms起動中</translation>
    </message>
    <message>
        <source>Can not open feff input file : %1 to read.</source>
        <translation>FeFF の入力ファイル %1 が開けません。</translation>
    </message>
    <message>
        <source>Can not open feff input file : %1 to write.</source>
        <translation>FeFF の入力ファイル %1 を作れません。</translation>
    </message>
    <message>
        <source>Can not open feff.inp for %1</source>
        <translation>%1 の feff.inp ファイルが開けません</translation>
    </message>
    <message>
        <source>F. Finished</source>
        <translation>FeFF完了</translation>
    </message>
    <message>
        <source>F. Restart</source>
        <translation>FeFF再起動</translation>
    </message>
    <message>
        <source>F. Running</source>
        <translation>FeFF実行中</translation>
    </message>
    <message>
        <source>F. Starting</source>
        <translation>FeFF起動中</translation>
    </message>
    <message>
        <source>Res. Atoms</source>
        <translation>Atoms出力</translation>
    </message>
    <message>
        <source>Res. FeFF</source>
        <translation>FeFF出力</translation>
    </message>
    <message>
        <source>Update FeFF inp</source>
        <translation>feff.inp更新</translation>
    </message>
    <message>
        <source>demeter</source>
        <translation>Demeter</translation>
    </message>
</context>
<context>
    <name>Gui</name>
    <message>
        <source>CIF FIles</source>
        <translation>CIFファイル</translation>
    </message>
    <message>
        <source>Drop CIF files here.</source>
        <translation>CIFファイル(複数可)をここにドロップして下さい。</translation>
    </message>
    <message>
        <source>Drop FeFF Inp files here.</source>
        <translation>FeFF入力ファイル(複数可)をここにドロップして下さい。</translation>
    </message>
    <message>
        <source>Drop Files</source>
        <translation>ファイルドロップエリア</translation>
    </message>
    <message>
        <source>FeFF Inp Files</source>
        <translation>FeFF入力ファイル</translation>
    </message>
    <message>
        <source>Log:</source>
        <translation>Log:</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>Orbelin</translation>
    </message>
    <message>
        <source>Proc List</source>
        <translation>Atoms/FeFF プロセスリスト</translation>
    </message>
    <message>
        <source>&amp;Plot</source>
        <translation>プロット(&amp;P)</translation>
    </message>
    <message>
        <source>Show the plot window</source>
        <translation>プロットウィンドウを表示</translation>
    </message>
    <message>
        <source>Show all</source>
        <translation>すべて表示</translation>
    </message>
    <message>
        <source>Show none</source>
        <translation>すべて非表示</translation>
    </message>
</context>
</TS>
