<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Quillar</name>
    <message>
        <source>削波</source>
        <translation>clipped</translation>
    </message>
    <message>
        <source>没有声音</source>
        <translation>silent</translation>
    </message>
    <message>
        <source>开头被截断</source>
        <translation>cut at the start</translation>
    </message>
    <message>
        <source>结尾被截断</source>
        <translation>cut at the end</translation>
    </message>
    <message>
        <source>噪声太大</source>
        <translation>too noisy</translation>
    </message>
    <message>
        <source>音量太小</source>
        <translation>too quiet</translation>
    </message>
    <message>
        <source>音量太大</source>
        <translation>too loud</translation>
    </message>
    <message>
        <source>一个声道没有声音</source>
        <translation>one channel silent</translation>
    </message>
    <message>
        <source>直流偏移</source>
        <translation>DC offset</translation>
    </message>
    <message>
        <source>无法读取</source>
        <translation>unreadable</translation>
    </message>
    <message>
        <source>格式不符</source>
        <translation>wrong format</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Quillar 田野调查录音工具 · 开源软件，问题与建议请在项目主页反馈</source>
        <translation>Quillar field recorder · open-source software; please report problems and ideas on the project page</translation>
    </message>
    <message>
        <source>录音设置</source>
        <translation>Recording settings</translation>
    </message>
    <message>
        <source>录音设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>录音质量</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>输出功率</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>实时回放录音</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>波浪频谱图</source>
        <translation>Wave</translation>
    </message>
    <message>
        <source>柱型频谱图</source>
        <translation>Bars</translation>
    </message>
    <message>
        <source>录音文件自动保存路径</source>
        <translation>Auto-save folder for recordings</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>录音内容源文件（支持ANSI和UTF-8两种编码）</source>
        <translation>Word list file (UTF-8 or ANSI text)</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Pick</translation>
    </message>
    <message>
        <source>保存当前配置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>录音文本列表</source>
        <translation>Word list</translation>
    </message>
    <message>
        <source>确保焦点在列表，按回车键录音，再按回车自动保存。<byte value="xd"/>
按CTRL 键可以播放当前选中的录音。</source>
        <translation>In the list, Enter records and Enter again saves.<byte value="xd"/>
Ctrl plays the selected item&apos;s recording.</translation>
    </message>
    <message>
        <source>已有录音文件：</source>
        <translation>Recording:</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>开始录音</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>暂停录音</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>试听录音</source>
        <translation>Listen</translation>
    </message>
    <message>
        <source>保存录音</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>等待录音中</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source> 削波！录音音量过大</source>
        <translation> Clipping! Too loud</translation>
    </message>
    <message>
        <source>录音中不能播放</source>
        <translation>Cannot play while recording</translation>
    </message>
    <message>
        <source>本次录音未受保护：无法写入恢复文件</source>
        <translation>Take unprotected: no recovery file</translation>
    </message>
    <message>
        <source>停止中</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>录制时间:00:00:00</source>
        <translation>Recorded 00:00:00</translation>
    </message>
    <message>
        <source>每帧大小 0 字节</source>
        <translation>Block size 0 bytes</translation>
    </message>
    <message>
        <source>文件大小 0 字节</source>
        <translation>File size 0 bytes</translation>
    </message>
    <message>
        <source>8000 Hz（电话通话音质）</source>
        <translation>8000 Hz (telephone)</translation>
    </message>
    <message>
        <source>12000 HZ（AM调幅广播音质）</source>
        <translation>12000 Hz (AM radio)</translation>
    </message>
    <message>
        <source>22050 Hz（FM调频广播音质）</source>
        <translation>22050 Hz (FM radio)</translation>
    </message>
    <message>
        <source>32000 Hz（MP3播放器音质）</source>
        <translation>32000 Hz (MP3 player)</translation>
    </message>
    <message>
        <source>44100 Hz（CD光盘音质）</source>
        <translation>44100 Hz (CD quality)</translation>
    </message>
    <message>
        <source>48000 Hz（录音室音质）</source>
        <translation>48000 Hz (studio quality)</translation>
    </message>
    <message>
        <source>Quillar V1.1【田野调查录音工具 · 开源自由软件】</source>
        <translation>Quillar V1.1 [Fieldwork recorder · free open-source software]</translation>
    </message>
    <message>
        <source>TXT文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>wav 音频文件 (*.wav)</source>
        <translation>WAV audio files (*.wav)</translation>
    </message>
    <message>
        <source>软件操作帮助</source>
        <translation>How to use Quillar</translation>
    </message>
    <message>
        <source>【遇到紧急问题，请在 Quillar 项目主页的问题列表中提交报告，并注明“紧急”】</source>
        <translation>[For an urgent problem, file a report in the issue list on Quillar&apos;s project page and mark it &quot;urgent&quot;]</translation>
    </message>
    <message>
        <source>【特别提醒】</source>
        <translation>[Please note]</translation>
    </message>
    <message>
        <source>本软件未提交给各杀毒软件厂商进行认证，可能会被部分杀毒软件误报为可疑程序。信任本软件的用户，请将本软件所在的文件夹加入杀毒软件的信任区（白名单）。</source>
        <translation>Quillar has not been submitted to antivirus vendors for certification, so some antivirus programs may wrongly report it as suspicious. If you trust it, add the folder it is in to your antivirus program&apos;s trusted list.</translation>
    </message>
    <message>
        <source>【如何录制电脑播放的音频】</source>
        <translation>[How to record what the computer plays]</translation>
    </message>
    <message>
        <source>将录音设备切换为扬声器即可。</source>
        <translation>Choose the speakers (the output&apos;s monitor) as the recording device.</translation>
    </message>
    <message>
        <source>【基本信息设置】</source>
        <translation>[Basic settings]</translation>
    </message>
    <message>
        <source>1.自动保存路径根据自己的研究需要自定义设置，比如设置为“E:\XX方言调查\发音人A\词汇”，就表示当前录音的项目是针对XX方言的发音人A的词汇条目的录音。路径设置好之后，相关录音文件会自动保存到该目录下。</source>
        <translation>1. Set the auto-save folder to suit your research, for example &quot;~/XX dialect survey/speaker A/words&quot; for the word list of speaker A of the XX dialect. Once it is set, recordings are saved into that folder automatically.</translation>
    </message>
    <message>
        <source>2.录音内容源文件只支持TXT文档，支持UTF-8和ANSI两种存储编码。各调查条目应当各占一行。从其他文档中转存为本软件需要的TXT文档时，注意选择存储编码为UTF-8或ANSI。</source>
        <translation>2. The word list must be a plain text (TXT) file in UTF-8 or ANSI encoding, one item per line. When you save it from another document, choose UTF-8 or ANSI as the encoding.</translation>
    </message>
    <message>
        <source>【录音、保存和播放】</source>
        <translation>[Recording, saving and playing]</translation>
    </message>
    <message>
        <source>1.录音内容条目载入后，会在左侧列表显示，可按方向键上下切换，也可以鼠标点击切换。</source>
        <translation>1. Once loaded, the items appear in the list on the left; move between them with the arrow keys or by clicking.</translation>
    </message>
    <message>
        <source>2.当焦点在列表上时，按回车键（Enter）就开始录音，再按一次则停止录音并自动保存文件到指定的目录。录音文件默认保存为WAV格式。</source>
        <translation>2. With the focus on the list, Enter starts recording; Enter again stops and saves the file into the auto-save folder. Recordings are saved as WAV files.</translation>
    </message>
    <message>
        <source>3.已有录音文件的条目会在右侧已录音文件中显示具体路径，并有声波图。按Ctrl键可以播放录音。也可以点右侧路径旁的播放按钮进行播放。</source>
        <translation>3. For an item that has a recording, its path and waveform are shown on the right. Press Ctrl to play it, or click the Play button beside the path.</translation>
    </message>
    <message>
        <source>4.也可以用右侧的按钮操作录音和存储，但方便度不高，实操过程中建议尽量用回车键（Enter）和Ctrl快捷键。</source>
        <translation>4. The buttons on the right record and save too, but they are slower; in the field, use Enter and Ctrl wherever you can.</translation>
    </message>
    <message>
        <source>【其他事项】</source>
        <translation>[Other notes]</translation>
    </message>
    <message>
        <source>1.Quillar 是为语言田野调查编写的开源录音软件，由 Quillar 的开发者社区共同维护，任何人都可以自由使用、复制、修改和分发。</source>
        <translation>1. Quillar is open-source recording software written for linguistic fieldwork and maintained by its community of developers; anyone may use, copy, change and share it freely.</translation>
    </message>
    <message>
        <source>2.使用中发现问题或有改进建议，欢迎在项目主页提交问题报告或代码；也欢迎分享您整理的调查词表和录音经验，帮助更多的调查者。</source>
        <translation>2. If you find a problem or have an idea, please file a report or send code on the project page; you are welcome to share your word lists and recording experience to help other fieldworkers too.</translation>
    </message>
    <message>
        <source>3.录音从不覆盖已有的录音文件：重新录制一个已有录音的条目，或用“保存录音”覆盖一个已有的文件时，原来的文件会移到它所在目录下的“早前录音”文件夹中，文件名是原名加上被替换的时间，例如“爸爸.20261209-143012.wav”。自动保存时，这个文件夹就在自动保存路径下。</source>
        <translation>3. A recording never overwrites another: when you record an item again, or &quot;Save as&quot; over an existing file, the old file moves into the folder &quot;早前录音&quot; beside it, named with the time it was replaced, for example &quot;water.20261209-143012.wav&quot;. For auto-saved takes that folder is in the auto-save folder.</translation>
    </message>
    <message>
        <source>4.焦点在列表上时，按F3跳到下一个还没有录音文件的条目，按Shift+F3跳到上一个；按F4跳到下一个需要重录的条目，按Shift+F4跳到上一个；到列表末尾后从头继续。每次录音停止时都会检查录音质量：已有录音文件的条目前显示圆点，带白色对勾的绿点表示良好，橙点表示需要检查，带白色竖线的红点表示需要重录（削波、开头或结尾被截断、没有声音、噪声太大），没有检查记录的录音显示绿点；波形下方一行写出峰值、噪声、信噪比和发现的问题。列表上方的“已录 / 总数”随每次保存更新。</source>
        <translation>4. With the focus on the list, F3 goes to the next item without a recording and Shift+F3 to the previous one; F4 goes to the next item to record again and Shift+F4 to the previous one; at the end of the list the search wraps around. Every take is checked when it stops: an item with a recording has a dot, green with a white tick for good, orange to check, red with a white bar to record again (clipped, cut at the start or end, silent, too noisy); a recording without a check has a plain green dot. The line under the waveform gives the peak, noise, signal-to-noise ratio and the problems found. &quot;Recorded / total&quot; above the list is updated at every save.</translation>
    </message>
    <message>
        <source>5.每次录音写入文件后，都会在该文件夹的 quillar-log.csv 中记下一行录音日志（时间、条目、文件、时长、格式、峰值、是否削波等），可用电子表格打开。</source>
        <translation>5. Each take written to a file adds a line to quillar-log.csv in its folder (time, item, file, length, format, peak, clipping and more), which opens in any spreadsheet.</translation>
    </message>
    <message>
        <source>【诚挚欢迎各位学者使用和指导】</source>
        <translation>[All researchers are warmly welcome to use Quillar and to help improve it]</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>停止录音</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>继续录音</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>录制中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>暂停中</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>未检测到声音信号</source>
        <translation>No signal</translation>
    </message>
    <message>
        <source>系统提示</source>
        <translation>Quillar</translation>
    </message>
    <message>
        <source>已录内容保留在内存中，请点击“保存录音”保存。</source>
        <translation>What was recorded is kept in memory; click &quot;Save as&quot; to save it.</translation>
    </message>
    <message>
        <source>录音已达到 WAV 文件能记录的最大长度（约 4 GB），已自动停止。</source>
        <translatorcomment>The next sentence of the message follows directly: keep the trailing space.</translatorcomment>
        <translation>The take has reached the largest size a WAV file can hold (about 4 GB) and was stopped. </translation>
    </message>
    <message>
        <source>电脑的可用内存快要用完了，录音已自动停止。</source>
        <translatorcomment>The next sentence of the message follows directly: keep the trailing space.</translatorcomment>
        <translation>The computer is nearly out of memory, so recording was stopped. </translation>
    </message>
    <message>
        <source>无法打开录音设备，请检查录音设备是否连接或被其他程序占用。</source>
        <translation>Cannot open the recording device. Check that it is connected and not in use by another program.</translation>
    </message>
    <message>
        <source>录音文件保存成功 , </source>
        <translatorcomment>The file size follows (&quot;File size 206 KB&quot;).</translatorcomment>
        <translation>Recording saved. </translation>
    </message>
    <message>
        <source>录音文件保存失败 , 文件可能被占用！</source>
        <translation>The recording could not be saved; the file may be in use!</translation>
    </message>
    <message>
        <source>
%1
（%2）</source>
        <translation>
%1
(%2)</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>路径不是文件夹</source>
        <translation>the path is not a folder</translation>
    </message>
    <message>
        <source>没有写入权限</source>
        <translation>no permission to write</translation>
    </message>
    <message>
        <source>文件夹只读</source>
        <translation>the folder is read-only</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>文件名过长</source>
        <translation>the file name is too long</translation>
    </message>
    <message>
        <source>同名的文件夹已存在</source>
        <translation>a folder of that name exists</translation>
    </message>
    <message>
        <source>未知原因</source>
        <translation>unknown reason</translation>
    </message>
    <message>
        <source> 录音已保存，但录音日志无法写入：%1</source>
        <translation> Recording saved, but the take log cannot be written: %1</translation>
    </message>
    <message>
        <source>录制时间 </source>
        <translation>Recorded </translation>
    </message>
    <message>
        <source>每帧大小 </source>
        <translation>Block size </translation>
    </message>
    <message>
        <source>文件大小 </source>
        <translation>File size </translation>
    </message>
    <message>
        <source>剩余时间 </source>
        <translation>Remaining </translation>
    </message>
    <message>
        <source>上次 Quillar 没有正常结束，以下录音已经找回并保存：
</source>
        <translation>Quillar did not end normally last time. These takes were recovered and saved:
</translation>
    </message>
    <message>
        <source>（无录音文本）</source>
        <translation>(no item text)</translation>
    </message>
    <message>
        <source>以下录音的恢复文件暂时无法写出，仍保留着，下次启动时会再试：
</source>
        <translation>These takes could not be written out yet; they are kept and will be tried again at the next start:
</translation>
    </message>
    <message>
        <source>停止试听</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>试听中</source>
        <translation>Listening</translation>
    </message>
    <message>
        <source>%1 位 PCM</source>
        <translation>%1-bit PCM</translation>
    </message>
    <message>
        <source>%1 位浮点</source>
        <translation>%1-bit float</translation>
    </message>
    <message>
        <source>格式代码 0x%1，%2 位</source>
        <translation>format code 0x%1, %2-bit</translation>
    </message>
    <message>
        <source>没有可用的声音输出设备。</source>
        <translation>No sound output device is available.</translation>
    </message>
    <message>
        <source>文件不存在或无法读取。</source>
        <translation>The file does not exist or cannot be read.</translation>
    </message>
    <message>
        <source>文件是空的（0 字节）。</source>
        <translation>The file is empty (0 bytes).</translation>
    </message>
    <message>
        <source>这不是 WAV 文件。</source>
        <translation>This is not a WAV file.</translation>
    </message>
    <message>
        <source>WAV 文件头不完整或已损坏。</source>
        <translation>The WAV header is incomplete or damaged.</translation>
    </message>
    <message>
        <source>WAV 文件中没有声音数据。</source>
        <translation>The WAV file holds no sound.</translation>
    </message>
    <message>
        <source>不支持这种声音格式（%1，%2 声道，%3 Hz）。</source>
        <translation>This sound format is not supported (%1, %2 channels, %3 Hz).</translation>
    </message>
    <message>
        <source>无法播放录音文件：
%1

%2</source>
        <translation>Cannot play the recording:
%1

%2</translation>
    </message>
    <message>
        <source>无法载入录音文本：
%1

这个文件不是文本文件（含有空字节或大量无法识别的字符），请选择每行一个条目的文本文件。当前的录音文本保持不变。</source>
        <translation>Cannot load the word list:
%1

This is not a text file (it holds null bytes or many unreadable characters). Choose a text file with one item per line. The current word list stays as it is.</translation>
    </message>
    <message>
        <source>没有设置自动保存路径，录音没有自动保存。
</source>
        <translation>No auto-save folder is set, so the take was not saved.
</translation>
    </message>
    <message>
        <source>录音没有自动保存（%1），无法写入文件：
%2
</source>
        <translation>The take was not saved (%1); cannot write the file:
%2
</translation>
    </message>
    <message>
        <source>
这段录音已暂存于 %1，设置自动保存路径后会自动保存，不会丢失。</source>
        <translation>
The take is kept in %1 and will be saved once an auto-save folder is set; it will not be lost.</translation>
    </message>
    <message>
        <source>
这段录音已暂存于 %1，文件夹可以写入时会自动保存，不会丢失。</source>
        <translation>
The take is kept in %1 and will be saved as soon as the folder can be written; it will not be lost.</translation>
    </message>
    <message>
        <source>
录音仍在内存中，可以用“保存录音”另行保存。</source>
        <translation>
The take is still in memory; you can save it elsewhere with &quot;Save as&quot;.</translation>
    </message>
    <message>
        <source>录音设备已断开（设备被拔出或声音服务已停止），录音已停止。</source>
        <translatorcomment>The next sentence of the message follows directly: keep the trailing space.</translatorcomment>
        <translation>The recording device was disconnected (unplugged, or the sound service stopped), so recording stopped. </translation>
    </message>
    <message>
        <source>断开之前录下的内容已自动保存为：
%1
也可以用“保存录音”另行保存。</source>
        <translation>What had been recorded was saved as:
%1
You can also save it elsewhere with &quot;Save as&quot;.</translation>
    </message>
    <message>
        <source>断开之前没有录到声音。</source>
        <translation>Nothing had been recorded.</translation>
    </message>
    <message>
        <source>断开之前录下的内容保留在内存中，可以用“保存录音”保存。</source>
        <translation>What had been recorded is kept in memory; save it with &quot;Save as&quot;.</translation>
    </message>
    <message>
        <source>峰值 %1 dBFS</source>
        <translation>peak %1 dBFS</translation>
    </message>
    <message>
        <source>噪声 %1 dBFS</source>
        <translation>noise %1 dBFS</translation>
    </message>
    <message>
        <source>信噪比 %1 dB</source>
        <translation>SNR %1 dB</translation>
    </message>
    <message>
        <source>良好</source>
        <translation>good</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source> %1 条录音尚未保存，文件夹可写时自动保存
 已暂存于 %2</source>
        <translation> Unsaved takes: %1, saved once the folder can be written
 Kept in %2</translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>配置信息保存成功！</source>
        <translation>Settings saved.</translation>
    </message>
    <message>
        <source>配置信息保存失败！无法写入设置文件：
%1</source>
        <translation>Settings not saved! Cannot write the settings file:
%1</translation>
    </message>
    <message>
        <source>正在录音，这段录音还没有保存，退出后将会丢失。
确定要退出吗？</source>
        <translation>Recording is in progress and the take is not saved yet; it will be lost if you quit.
Quit anyway?</translation>
    </message>
    <message>
        <source>这段录音还没有保存，退出后将会丢失。
确定要退出吗？</source>
        <translation>This take is not saved yet; it will be lost if you quit.
Quit anyway?</translation>
    </message>
    <message>
        <source>录音选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source> 毫秒</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>立体声（2）</source>
        <translation>Stereo (2)</translation>
    </message>
    <message>
        <source>单声道（1）</source>
        <translation>Mono (1)</translation>
    </message>
    <message>
        <source>录音间保持输入打开（预录需要）</source>
        <translation>Keep the input open between takes (needed for pre-roll)</translation>
    </message>
    <message>
        <source>自动（跟随系统）</source>
        <translation>Automatic (the desktop&apos;s language)</translation>
    </message>
    <message>
        <source>中文（Chinese）</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>预录（按键前）</source>
        <translation>Pre-roll (before the key)</translation>
    </message>
    <message>
        <source>延录（停止后）</source>
        <translation>Post-roll (after the stop)</translation>
    </message>
    <message>
        <source>声道</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>界面语言在下次启动时生效。</source>
        <translation>The interface language takes effect at the next start.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>底噪 </source>
        <translation>Noise </translation>
    </message>
    <message>
        <source>声音服务没有响应，正在等待……</source>
        <translation>The sound server is not answering; waiting…</translation>
    </message>
    <message>
        <source>无法写入设置文件：
%1

新的录音选项只在本次运行中有效，下次启动时将恢复原来的选项。</source>
        <translation>Cannot write the settings file:
%1

The new options apply until Quillar closes; the next start uses the old ones.</translation>
    </message>
    <message>
        <source>
这段录音也无法暂存到磁盘，暂时保留在内存中，文件夹可以写入时会自动保存；退出前请先保存。</source>
        <translation>
The take could not be kept on disk either: it is held in memory and will be saved as soon as the folder can be written. Do not quit before it is saved.</translation>
    </message>
    <message>
        <source>正在保存录音……</source>
        <translation>Saving the recordings…</translation>
    </message>
    <message>
        <source>有 %1 段录音既无法写入文件夹，也无法暂存到磁盘，退出后将会丢失。
确定要退出吗？</source>
        <translation>%1 recording(s) could be written neither to the folder nor to disk, and will be lost when Quillar closes.
Quit anyway?</translation>
    </message>
    <message>
        <source>第 %1 条「%2」</source>
        <translation>item %1 “%2”</translation>
    </message>
    <message>
        <source>文件名模板中有反斜杠“\”：子文件夹请用“/”分开</source>
        <translation>The file name template has a backslash “\”: separate subfolders with “/”.</translation>
    </message>
    <message>
        <source>文件名模板中有控制字符（如制表符）</source>
        <translation>The file name template has a control character (a tab, for instance).</translation>
    </message>
    <message>
        <source>文件名模板的花括号不成对：第 %1 个字符</source>
        <translation>The braces of the file name template do not pair up: character %1.</translation>
    </message>
    <message>
        <source>文件名模板中有空的路径部分：“/”不能在开头或结尾，也不能连着写</source>
        <translation>The file name template has an empty path part: “/” cannot come first or last, nor twice in a row.</translation>
    </message>
    <message>
        <source>文件名模板中的路径部分不能是“.”或“..”</source>
        <translation>A path part of the file name template cannot be “.” or “..”.</translation>
    </message>
    <message>
        <source>文件名模板中有未知的字段 %1；可用的字段是 {id}、{item}、{gloss}、{speaker}、{list}</source>
        <translation>The file name template has an unknown field %1; the fields are {id}, {item}, {gloss}, {speaker} and {list}.</translation>
    </message>
    <message>
        <source>文件名模板中 %1 的宽度不对：只有 {id} 可以补零，宽度是 1 到 10，如 {id:4}</source>
        <translation>The width of %1 in the file name template is wrong: only {id} can be padded with zeros, to a width from 1 to 10, as in {id:4}.</translation>
    </message>
    <message>
        <source>文件名模板须含 {id} 或 {item}，否则各条目的文件名会相同</source>
        <translation>The file name template needs {id} or {item}, or every item would get the same file name.</translation>
    </message>
    <message>
        <source>%1 个条目得不到文件名：模板中能分开条目的 {id}、{item} 在这些条目里是空的（或在“仅 ASCII”时没有可用的字母和数字）：</source>
        <translation>%1 item(s) get no file name: the template&apos;s {id} and {item}, which tell items apart, are empty for them (or, with ASCII only, have no letters or digits):</translation>
    </message>
    <message>
        <source>  另有 %1 个</source>
        <translation>  and %1 more</translation>
    </message>
    <message>
        <source>%1 处两个条目的录音文件相同：</source>
        <translation>%1 time(s) two items get the same recording file:</translation>
    </message>
    <message>
        <source>  %1 与 %2：%3</source>
        <translation>  %1 and %2: %3</translation>
    </message>
    <message>
        <source>  另有 %1 处</source>
        <translation>  and %1 more</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>缺少逗号，或缺少结尾的 } 或 ]</source>
        <translation>a comma is missing, or a closing } or ]</translation>
    </message>
    <message>
        <source>引号没有结束</source>
        <translation>a quotation mark is not closed</translation>
    </message>
    <message>
        <source>名字后面缺少冒号</source>
        <translation>a colon is missing after a name</translation>
    </message>
    <message>
        <source>文件不是 UTF-8 文本</source>
        <translation>the file is not UTF-8 text</translation>
    </message>
    <message>
        <source>不是有效的 JSON</source>
        <translation>not valid JSON</translation>
    </message>
    <message>
        <source>“%1”应是一个对象 {…}</source>
        <translation>“%1” must be an object {…}</translation>
    </message>
    <message>
        <source>“%1”应是文字（加引号）</source>
        <translation>“%1” must be text (in quotation marks)</translation>
    </message>
    <message>
        <source>“%1”应是四位数的年份，如 1956</source>
        <translation>“%1” must be a year of four digits, such as 1956</translation>
    </message>
    <message>
        <source>“%1”应是 -90 到 90 之间的数</source>
        <translation>“%1” must be a number from -90 to 90</translation>
    </message>
    <message>
        <source>“%1”应是 -180 到 180 之间的数</source>
        <translation>“%1” must be a number from -180 to 180</translation>
    </message>
    <message>
        <source>“%1”应是语言代码的列表，如 [&quot;cmn&quot;, &quot;wuu&quot;]</source>
        <translation>“%1” must be a list of language codes, such as [&quot;cmn&quot;, &quot;wuu&quot;]</translation>
    </message>
    <message>
        <source>语言代码“%1”不是 ISO 639-3 代码（三个小写字母，如 cmn）</source>
        <translation>the language code “%1” is not an ISO 639-3 code (three lower-case letters, such as cmn)</translation>
    </message>
    <message>
        <source>文件是空的，不是 JSON</source>
        <translation>the file is empty, not JSON</translation>
    </message>
    <message>
        <source>会话文件应是一个对象 {…}</source>
        <translation>a session file must be an object {…}</translation>
    </message>
    <message>
        <source>无法读取会话文件：%1</source>
        <translation>Cannot read the session file: %1</translation>
    </message>
    <message>
        <source>会话文件太大（超过 1 MB），不像是会话文件</source>
        <translation>The file is too large (over 1 MB) to be a session file.</translation>
    </message>
    <message>
        <source>无法载入录音文本：
%1

%2

当前的录音文本保持不变。</source>
        <translation>Cannot load the word list:
%1

%2

The current word list stays as it is.</translation>
    </message>
    <message>
        <source>这个表格没有条目列：表头里没有一列的名字是 %1 之一。请把要录音的那一列的表头改成其中一个名字。</source>
        <translation>This table has no item column: no column in its header is named %1. Give the column to be recorded one of these names.</translation>
    </message>
    <message>
        <source>第 %1 行（编号 %2）</source>
        <translation>row %1 (id %2)</translation>
    </message>
    <message>
        <source>编号 %1：第 %2 行</source>
        <translation>id %1: rows %2</translation>
    </message>
    <message>
        <source>表格里有重复的编号，每个编号只能用于一个条目：</source>
        <translation>The table has duplicate ids; an id belongs to one item only:</translation>
    </message>
    <message>
        <source>……还有 %1 个重复的编号。</source>
        <translation>… and %1 more duplicate ids.</translation>
    </message>
    <message>
        <source>以下各行有编号，却没有条目：</source>
        <translation>These rows have an id but no item:</translation>
    </message>
    <message>
        <source>……还有 %1 行。</source>
        <translation>… and %1 more rows.</translation>
    </message>
    <message>
        <source>第 %1 行开始的引号直到文件末尾都没有结束，请检查这一行的引号。</source>
        <translation>The quote opened on line %1 is not closed before the end of the file. Check the quotes on that line.</translation>
    </message>
    <message>
        <source>这个表格太大（%1 行，%2 列），超出了录音文本能容纳的范围。</source>
        <translation>This table is too large for a word list (%1 rows, %2 columns).</translation>
    </message>
    <message>
        <source>这个电子表格太大，超出了录音文本能容纳的范围。</source>
        <translation>This spreadsheet is too large for a word list.</translation>
    </message>
    <message>
        <source>录音场次</source>
        <translation>Session</translation>
    </message>
    <message>
        <source>发音人</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>如 老男、S01（文件名中的 {speaker}）</source>
        <translation>e.g. S01 ({speaker} in file names)</translation>
    </message>
    <message>
        <source>女</source>
        <translation>female</translation>
    </message>
    <message>
        <source>男</source>
        <translation>male</translation>
    </message>
    <message>
        <source>如 1950，可不填</source>
        <translation>e.g. 1950; may be left empty</translation>
    </message>
    <message>
        <source>如 主要发音人</source>
        <translation>e.g. main speaker</translation>
    </message>
    <message>
        <source>ISO 639-3 代码，如 cmn, wuu</source>
        <translation>ISO 639-3 codes, e.g. cmn, wuu</translation>
    </message>
    <message>
        <source>代号</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>姓名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>性别</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>出生年份</source>
        <translation>Year of birth</translation>
    </message>
    <message>
        <source>角色</source>
        <translation>Role</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Languages</translation>
    </message>
    <message>
        <source>地点</source>
        <translation>Place</translation>
    </message>
    <message>
        <source>如 浙江省绍兴市柯桥区</source>
        <translation>e.g. Keqiao, Shaoxing, Zhejiang</translation>
    </message>
    <message>
        <source>-90 到 90，可不填</source>
        <translation>-90 to 90; may be left empty</translation>
    </message>
    <message>
        <source>-180 到 180，可不填</source>
        <translation>-180 to 180; may be left empty</translation>
    </message>
    <message>
        <source>地点代号</source>
        <translation>Site code</translation>
    </message>
    <message>
        <source>地名</source>
        <translation>Place name</translation>
    </message>
    <message>
        <source>纬度</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>经度</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>已同意</source>
        <translation>Given</translation>
    </message>
    <message>
        <source>未同意</source>
        <translation>Not given</translation>
    </message>
    <message>
        <source>选择，或写下同意的情况</source>
        <translation>Choose, or describe the consent</translation>
    </message>
    <message>
        <source>调查人</source>
        <translation>Fieldworker</translation>
    </message>
    <message>
        <source>知情同意</source>
        <translation>Consent</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>日期和设备（自动记录）</source>
        <translation>Date and device (recorded by themselves)</translation>
    </message>
    <message>
        <source>（没有录音设备）</source>
        <translation>(no recording device)</translation>
    </message>
    <message>
        <source>语言代码要写成三个小写字母（ISO 639-3），用逗号隔开，如 cmn, wuu；“%1”不是这样的代码。</source>
        <translation>Languages are written as codes of three lower-case letters (ISO 639-3), separated by commas, e.g. cmn, wuu; &quot;%1&quot; is not such a code.</translation>
    </message>
    <message>
        <source>出生年份要在 %1 到 %2 之间，不知道可以不填。</source>
        <translation>The year of birth must be between %1 and %2; leave it empty if it is not known.</translation>
    </message>
    <message>
        <source>纬度要是 -90 到 90 之间的数（南纬为负），如 31.23，不知道可以不填。</source>
        <translation>The latitude must be a number between -90 and 90 (negative south of the equator), e.g. 31.23; leave it empty if it is not known.</translation>
    </message>
    <message>
        <source>经度要是 -180 到 180 之间的数（西经为负），如 121.47，不知道可以不填。</source>
        <translation>The longitude must be a number between -180 and 180 (negative west of Greenwich), e.g. 121.47; leave it empty if it is not known.</translation>
    </message>
    <message>
        <source>还没有设置录音文件自动保存路径，录音场次没有写入文件，只在换文件夹或关闭程序之前有效。

设置文件夹后，再打开“录音场次”按确定，就会写入该文件夹。</source>
        <translation>No auto-save folder is set, so the session was not written to a file; it holds until the folder changes or Quillar closes.

Once a folder is set, open Session again and press OK to write it into that folder.</translation>
    </message>
    <message>
        <source>无法写入录音场次文件：
%1
%2

录音场次只在换文件夹或关闭程序之前有效。</source>
        <translation>Cannot write the session file:
%1
%2

The session holds until the folder changes or Quillar closes.</translation>
    </message>
    <message>
        <source>录音场次文件有误，没有读入：
%1
%2

改正后重新设置文件夹，或在“录音场次”里重新填写。</source>
        <translation>The session file has an error and was not read:
%1
%2

Correct it and set the folder again, or fill in the session anew in Session.</translation>
    </message>
    <message>
        <source>条目文字（表格：编号+条目）</source>
        <translation>Item text (tables: id + item)</translation>
    </message>
    <message>
        <source>调查项目：发音人/词表/编号条目</source>
        <translation>Survey: speaker/list/id item</translation>
    </message>
    <message>
        <source>档案（仅ASCII）：发音人-编号</source>
        <translation>Archive (ASCII only): speaker-id</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>{item}，表格为 {id}{item}</source>
        <translation>{item}, for a table {id}{item}</translation>
    </message>
    <message>
        <source>字段：{id} 编号、{id:4} 补零到4位、{item} 条目、{gloss} 释义、{speaker} 发音人、{list} 词表文件名；“/”分子文件夹。</source>
        <translation>Fields: {id} id, {id:4} zero-padded to 4 digits, {item} item, {gloss} gloss, {speaker} speaker, {list} word list file name; &quot;/&quot; makes subfolders.</translation>
    </message>
    <message>
        <source>文件名仅用 A-Z a-z 0-9 - _（档案）</source>
        <translation>File names only A-Z a-z 0-9 - _ (archives)</translation>
    </message>
    <message>
        <source>标注文件</source>
        <translation>Annotation files</translation>
    </message>
    <message>
        <source>每段录音旁另存一个 Praat TextGrid 文件，标出语音所在的时段和条目。</source>
        <translation>Save a Praat TextGrid beside every take, marking where the speech lies with the item.</translation>
    </message>
    <message>
        <source>文件命名</source>
        <translation>File names</translation>
    </message>
    <message>
        <source>文件名模板</source>
        <translation>Name template</translation>
    </message>
    <message>
        <source>无法写入会话文件：%1</source>
        <translation>Cannot write the session file: %1</translation>
    </message>
    <message>
        <source>这个电子表格文件已损坏或无法读取（也可能设了密码），读不出其中的条目。</source>
        <translation>This spreadsheet is damaged or cannot be read (it may have a password); no items could be read from it.</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>文件夹：%1</source>
        <translation>Folder: %1</translation>
    </message>
    <message>
        <source>为没有标注的录音写 TextGrid（Praat）</source>
        <translation>Write a TextGrid (Praat) for each take without one</translation>
    </message>
    <message>
        <source>连成一个场次录音，附 TextGrid 和 ELAN 文件</source>
        <translation>Join the takes into one session recording, with a TextGrid and an ELAN file</translation>
    </message>
    <message>
        <source>格式不同的录音转换成第一个录音的格式</source>
        <translation>Convert takes of another format to the first take&apos;s format</translation>
    </message>
    <message>
        <source>FLEx 词库（LIFT），录音复制到其旁的 audio 文件夹</source>
        <translation>FLEx lexicon (LIFT), the takes copied into an audio folder beside it</translation>
    </message>
    <message>
        <source>归档提交：复制录音（档案文件名）、元数据表和校验和</source>
        <translation>Archive deposit: the takes copied under archive names, a metadata sheet and checksums</translation>
    </message>
    <message>
        <source>可不填</source>
        <translation>optional</translation>
    </message>
    <message>
        <source>场次名</source>
        <translation>Session name</translation>
    </message>
    <message>
        <source>词库文件</source>
        <translation>Lexicon file</translation>
    </message>
    <message>
        <source>提交文件夹</source>
        <translation>Deposit folder</translation>
    </message>
    <message>
        <source>开始导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>导出完成。</source>
        <translation>Export finished.</translation>
    </message>
    <message>
        <source>导出没有完成。</source>
        <translation>Export not finished.</translation>
    </message>
    <message>
        <source>档案集代码</source>
        <translation>Collection code</translation>
    </message>
    <message>
        <source>发音人不会说</source>
        <translation>The speaker cannot say it</translation>
    </message>
    <message>
        <source>不适用</source>
        <translation>Does not apply</translation>
    </message>
    <message>
        <source>以后再录</source>
        <translation>Record it later</translation>
    </message>
    <message>
        <source>跳过条目</source>
        <translation>Skip item</translation>
    </message>
    <message>
        <source>跳过“%1”的原因：</source>
        <translation>Why skip “%1”:</translation>
    </message>
    <message>
        <source>其他原因……</source>
        <translation>Another reason…</translation>
    </message>
    <message>
        <source>其他原因，按回车确定</source>
        <translation>Another reason, then Enter</translation>
    </message>
    <message>
        <source>还没有设置录音文件自动保存路径，跳过的条目无处记录。</source>
        <translation>No folder to save recordings in has been set yet, so there is nowhere to note the skipped item.</translation>
    </message>
    <message>
        <source>录音日志无法写入，条目没有标为跳过：
%1
%2</source>
        <translation>The take log cannot be written; the item was not marked skipped:
%1
%2</translation>
    </message>
    <message>
        <source>这个条目没有提示音</source>
        <translation>No prompt for this item</translation>
    </message>
    <message>
        <source>提示音文件不存在</source>
        <translation>Prompt file missing</translation>
    </message>
    <message>
        <source>提示音无法播放</source>
        <translation>Prompt will not play</translation>
    </message>
    <message>
        <source>自动录音（F9）：听到发音开始录音，静音后保存并转到下一条</source>
        <translation>Hands-free (F9): a voice starts a take; silence saves it and moves to the next item</translation>
    </message>
    <message>
        <source> 分贝（高于环境噪声）</source>
        <translation> dB (above the room&apos;s noise)</translation>
    </message>
    <message>
        <source>自动录音灵敏度</source>
        <translation>Hands-free sensitivity</translation>
    </message>
    <message>
        <source>自动录音静音</source>
        <translation>Hands-free silence</translation>
    </message>
    <message>
        <source>自动录音：录音设备没有打开</source>
        <translation>Hands-free: the recording device is not open</translation>
    </message>
    <message>
        <source>自动录音：正在播放提示音……</source>
        <translation>Hands-free: playing the prompt…</translation>
    </message>
    <message>
        <source>自动录音：等待发音……</source>
        <translation>Hands-free: waiting for the voice…</translation>
    </message>
    <message>
        <source>自动录音：已保存，请说下一条……</source>
        <translation>Hands-free: saved; say the next item…</translation>
    </message>
    <message>
        <source>自动录音：需要重录，请再说一遍……</source>
        <translation>Hands-free: to be redone; say it again…</translation>
    </message>
    <message>
        <source>自动录音：录音中……</source>
        <translation>Hands-free: recording…</translation>
    </message>
    <message>
        <source>自动录音：所有条目都已录音，自动录音已结束</source>
        <translation>Hands-free: every item has a recording; hands-free recording ended</translation>
    </message>
    <message>
        <source>自动录音需要录音间保持输入打开（录音选项）</source>
        <translation>Hands-free recording needs the input kept open between takes (recording options)</translation>
    </message>
    <message>
        <source>%1 / %2，跳过 %3</source>
        <translation>%1 / %2, %3 skipped</translation>
    </message>
</context>
</TS>
