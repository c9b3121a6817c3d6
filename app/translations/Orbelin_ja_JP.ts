<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Demeter</name>
    <message>
        <source>A. Failed</source>
        <translation>Atoms失敗</translation>
    </message>
    <message>
        <source>F. Failed</source>
        <translation>FeFF失敗</translation>
    </message>
    <message>
        <source>Can not write %1 : %2</source>
        <translation>%1 を書き込めません : %2</translation>
    </message>
    <message>
        <source>Atoms printed no FEFF input (no line with the marker &quot; * This&quot;) in %1</source>
        <translation>%1 で Atoms が FeFF 入力を出力しませんでした (&quot; * This&quot; の行がありません)</translation>
    </message>
    <message>
        <source>FeFF not started in %1 : no feff.inp was written for it in this run</source>
        <translation>%1 の FeFF を起動しません : この実行で feff.inp が書かれていません</translation>
    </message>
    <message>
        <source>Kept the edited feff.inp of %1 as %2</source>
        <translation>%1 の編集された feff.inp を %2 として残しました</translation>
    </message>
    <message>
        <source>%1 stopped after its time limit of %2 s in %3</source>
        <translation>%3 の %1 は制限時間 %2 秒を超えたので停止しました</translation>
    </message>
    <message>
        <source>%1 stopped by the user in %2</source>
        <translation>%2 の %1 をユーザーが停止しました</translation>
    </message>
    <message>
        <source>Can not start %1 now (%2) : tried again when a program ends</source>
        <translation>今は %1 を起動できません (%2) : プログラムが終わったら再度試します</translation>
    </message>
    <message>
        <source>Skipped by the user: %1</source>
        <translation>ユーザーがスキップしました: %1</translation>
    </message>
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
        <source>F. Running %1/%2</source>
        <translation>FeFF実行中 %1/%2</translation>
    </message>
    <message>
        <source>%1 FEFF inputs for %2 : %3</source>
        <translation>%2 の FeFF 入力 %1 個 : %3</translation>
    </message>
    <message>
        <source>Atoms printed FEFF inputs that can not be told apart in %1 : %2</source>
        <translation>%1 で Atoms が区別できない FeFF 入力を出力しました : %2</translation>
    </message>
    <message>
        <source>No average of the FeFF runs in %1 : %2 of %3 gave no chi(k) (%4)</source>
        <translation>%1 の FeFF 実行の平均はありません : %3 回中 %2 回で chi(k) が得られませんでした (%4)</translation>
    </message>
    <message>
        <source>No average of the FeFF runs in %1 : %2</source>
        <translation>%1 の FeFF 実行の平均はありません : %2</translation>
    </message>
    <message>
        <source>Average of %1 of %2 FeFF runs written to %3 ; missing: %4</source>
        <translation>%2 回中 %1 回の FeFF 実行の平均を %3 に書き込みました ; 欠けている実行: %4</translation>
    </message>
    <message>
        <source>The %1 FEFF inputs of %2 are in its subdirectories (%3): edit those, then restart</source>
        <translation>%2 の %1 個の FeFF 入力はそのサブディレクトリ (%3) にあります: それらを編集してから再起動してください</translation>
    </message>
    <message>
        <source>Kept the earlier chi.dat of %1 as %2</source>
        <translation>%1 の以前の chi.dat を %2 として残しました</translation>
    </message>
    <message>
        <source>demeter</source>
        <translation>Demeter</translation>
    </message>
    <message>
        <source>%1
Working folder: %2</source>
        <translation>%1
作業フォルダ: %2</translation>
    </message>
    <message>
        <source>FeFF restart</source>
        <translation>FeFF再起動</translation>
    </message>
    <message>
        <source>The Atoms area of %1 differs from the feff.inp on disk.</source>
        <translation>%1 の Atoms 欄はディスク上の feff.inp と異なります。</translation>
    </message>
    <message>
        <source>Update and run</source>
        <translation>更新して実行</translation>
    </message>
    <message>
        <source>Run the file on disk</source>
        <translation>ディスク上のファイルで実行</translation>
    </message>
    <message>
        <source>Curve colour of %1</source>
        <translation>%1 の曲線の色</translation>
    </message>
    <message>
        <source>Converter options</source>
        <translation>変換オプション</translation>
    </message>
    <message>
        <source>Options of the converter for %1, after those of ATOMS_ARG:</source>
        <translation>%1 の変換オプション (ATOMS_ARG の後に付きます):</translation>
    </message>
    <message>
        <source>Open working folder</source>
        <translation>作業フォルダを開く</translation>
    </message>
    <message>
        <source>Converter options…</source>
        <translation>変換オプション…</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>F. Skipped</source>
        <translation>FeFFスキップ</translation>
    </message>
    <message>
        <source>F. Stopped</source>
        <translation>FeFF停止</translation>
    </message>
    <message>
        <source>%1 (%2 times)</source>
        <translation>%1 (%2 回)</translation>
    </message>
    <message>
        <source>Can not read %1 : %2 ; the converter runs without it</source>
        <translation>%1 を読めません : %2 ; 変換はそれなしで実行します</translation>
    </message>
    <message>
        <source>The job of %1 uses the converter options in %2 : %3</source>
        <translation>%1 のジョブは %2 の変換オプションを使います : %3</translation>
    </message>
    <message>
        <source>fitting…</source>
        <translation>フィット中…</translation>
    </message>
    <message>
        <source>#%1 R %2</source>
        <translation>#%1 R %2</translation>
    </message>
    <message>
        <source>other absorber</source>
        <translation>別の吸収原子</translation>
    </message>
    <message>
        <source>fit failed</source>
        <translation>フィット失敗</translation>
    </message>
    <message>
        <source>Rank %1 of %2, R-factor %3</source>
        <translation>%2 件中 %1 位、R 因子 %3</translation>
    </message>
    <message>
        <source>S0² %1, ΔE0 %2 eV, σ² %3 Å²</source>
        <translation>S0² %1、ΔE0 %2 eV、σ² %3 Å²</translation>
    </message>
    <message>
        <source>σ² beyond the first shell %1 Å²</source>
        <translation>第一殻より外の σ² %1 Å²</translation>
    </message>
    <message>
        <source>At a bound, not to be trusted: %1</source>
        <translation>境界に達しており信頼できません: %1</translation>
    </message>
    <message>
        <source>Not ranked: its absorber is not the measured spectrum's</source>
        <translation>順位なし: 吸収原子が測定スペクトルのものと異なります</translation>
    </message>
    <message>
        <source>The fit failed: %1</source>
        <translation>フィットに失敗しました: %1</translation>
    </message>
    <message>
        <source>Absorber: %1</source>
        <translation>吸収原子: %1</translation>
    </message>
    <message>
        <source>Can not open the working folder %1 : no file manager answered</source>
        <translation>作業フォルダ %1 を開けません: ファイルマネージャが応答しません</translation>
    </message>
</context>
<context>
    <name>Gui</name>
    <message>
        <source>Can not read the configuration file %1</source>
        <translation>設定ファイル %1 を読めません</translation>
    </message>
    <message>
        <source>MAX_PROC '%1' is not a whole number of at least 1: no job will start</source>
        <translation>MAX_PROC '%1' は 1 以上の整数ではありません: ジョブは起動しません</translation>
    </message>
    <message>
        <source>MAX_PROC %1 is more than the open-file limit allows: at most %2 programs run at once</source>
        <translation>MAX_PROC %1 はファイルディスクリプタ数の上限を超えます: 同時に実行するのは最大 %2 個です</translation>
    </message>
    <message>
        <source>Can not create the folder %1</source>
        <translation>フォルダ %1 を作成できません</translation>
    </message>
    <message>
        <source>Can not list the folder %1</source>
        <translation>フォルダ %1 の中身を読めません</translation>
    </message>
    <message>
        <source>Can not write into the results folder %1</source>
        <translation>結果フォルダ %1 に書き込めません</translation>
    </message>
    <message>
        <source>The results folder %1 is in use by another Orbelin (process %2); this one does not start</source>
        <translation>結果フォルダ %1 は別の Orbelin (プロセス %2) が使用中です; 起動しません</translation>
    </message>
    <message>
        <source>%1 is not a regular file: no job for it</source>
        <translation>%1 は通常のファイルではありません: ジョブにしません</translation>
    </message>
    <message>
        <source>%1 is a link to nothing: no job for it</source>
        <translation>%1 はリンク先のないリンクです: ジョブにしません</translation>
    </message>
    <message>
        <source>%1 is larger than 64 MB: no job for it</source>
        <translation>%1 は 64 MB を超えています: ジョブにしません</translation>
    </message>
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
    <message>
        <source>Part of the input name</source>
        <translation>入力ファイル名の一部</translation>
    </message>
    <message>
        <source>Show the jobs in this state</source>
        <translation>この状態のジョブを表示</translation>
    </message>
    <message>
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>待機中</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>実行中</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>完了</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失敗</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>Order of the rows</source>
        <translation>行の並び順</translation>
    </message>
    <message>
        <source>Input order</source>
        <translation>入力順</translation>
    </message>
    <message>
        <source>By name</source>
        <translation>名前順</translation>
    </message>
    <message>
        <source>By state</source>
        <translation>状態順</translation>
    </message>
    <message>
        <source>shown %1 of %2</source>
        <translation>%2 件中 %1 件を表示</translation>
    </message>
    <message>
        <source>%1/%2 done, %3 running, %4 failed, %5 elapsed</source>
        <translation>%1/%2 件終了、実行中 %3、失敗 %4、経過 %5</translation>
    </message>
    <message>
        <source>All %1 jobs ended: %2 with chi data, %3 failed</source>
        <translation>全 %1 件のジョブが終了: chi データあり %2、失敗 %3</translation>
    </message>
    <message>
        <source>Unknown option %1: left alone</source>
        <translation>不明なオプション %1 : 使わずに続けます</translation>
    </message>
</context>
<context>
    <name>ShowChi</name>
    <message>
        <source>FT window</source>
        <translation>FT 窓</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>オフセット</translation>
    </message>
    <message>
        <source>Measured…</source>
        <translation>測定データ…</translation>
    </message>
    <message>
        <source>Background…</source>
        <translation>バックグラウンド…</translation>
    </message>
    <message>
        <source>Best 5</source>
        <translation>上位 5</translation>
    </message>
    <message>
        <source>Shows the five jobs whose fits match the measured spectrum best</source>
        <translation>測定スペクトルに最もよく合う 5 つのジョブだけを表示します</translation>
    </message>
    <message>
        <source>%1 (fit)</source>
        <translation>%1 (フィット)</translation>
    </message>
    <message>
        <source>%1: an Athena project with the groups %2; shown: %3</source>
        <translation>%1: Athena プロジェクト、グループ %2; 表示: %3</translation>
    </message>
    <message>
        <source>Load a measured spectrum</source>
        <translation>測定スペクトルを読み込む</translation>
    </message>
    <message>
        <source>Spectra (*.xdi *.prj *.chi *.chik *.dat *.xmu *.txt);;All files (*)</source>
        <translation>スペクトル (*.xdi *.prj *.chi *.chik *.dat *.xmu *.txt);;すべてのファイル (*)</translation>
    </message>
    <message>
        <source>No job is ranked against the measured spectrum yet</source>
        <translation>測定スペクトルに対して順位の付いたジョブはまだありません</translation>
    </message>
    <message>
        <source>Load a measured spectrum to rank the jobs against</source>
        <translation>ジョブに順位を付けるには測定スペクトルを読み込んでください</translation>
    </message>
    <message>
        <source>Background of the measured spectrum</source>
        <translation>測定スペクトルのバックグラウンド</translation>
    </message>
    <message>
        <source>found</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>from the file</source>
        <translation>ファイルから</translation>
    </message>
    <message>
        <source>energy,numerator[/denominator][,ln], e.g. 1,3/4,ln</source>
        <translation>エネルギー,分子[/分母][,ln] 例: 1,3/4,ln</translation>
    </message>
    <message>
        <source>k-weight</source>
        <translation>k の重み</translation>
    </message>
    <message>
        <source>Columns</source>
        <translation>列</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>再読み込み</translation>
    </message>
    <message>
        <source>By fit</source>
        <translation>フィット順</translation>
    </message>
    <message>
        <source>No job is ranked against %1 : %2</source>
        <translation>%1 に対して順位付けできるジョブはありません : %2</translation>
    </message>
</context>
</TS>
